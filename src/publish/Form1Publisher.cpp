// TForm1's publisher: Publish, the choice of the target (a local directory or
// an FTP location), the folder dialog and the list of FTP locations.
//
// Publish always leaves LastPublishOutcome saying how it ended. In an
// unattended run it shows nothing at all, not even the prompts for missing FTP
// details, since nobody is there to answer them: the outcome carries the
// message instead, and the window stays open after a stop or a failed local
// write so that the run can report it.
#include "app/Form1.h"

#include "app/Dialogs.h"
#include "app/ErrorGuard.h"
#include "app/IniFile.h"
#include "app/SettingsKeys.h"
#include "app/StartupPaths.h"
#include "publish/PublishMessages.h"
#include "publish/PublishTarget.h"
#include "xml/XmlSecureStore.h"

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QToolButton>

namespace {

FtpSiteChoice ftpSiteChoice(const QComboBox* box) {
    if (!box->currentText().isEmpty())
        return FtpSiteChoice::Chosen;
    return box->count() == 0 ? FtpSiteChoice::NoneKnown : FtpSiteChoice::NoneChosen;
}

// An empty password for an SFTP location means key authentication.
bool passwordNeededFor(const QString& location) {
    return storeSchemeOf(location.toStdString()) != TStoreScheme::Sftp;
}

QStringList itemsOf(const QComboBox* box) {
    QStringList items;
    for (int i = 0; i < box->count(); ++i)
        items << box->itemText(i);
    return items;
}

} // namespace

void TForm1::wirePublisher() {
    connectGuarded(PublishBtn, &QPushButton::clicked, &TForm1::PublishBtnClick);
    connectGuarded(LocalRadio, &QRadioButton::clicked,
                   [](TForm1* form) { form->LocalRadioClick(form->LocalRadio); });
    connectGuarded(FTPRadio, &QRadioButton::clicked,
                   [](TForm1* form) { form->LocalRadioClick(form->FTPRadio); });
    connectGuarded(SelectLocalBtn, &QToolButton::clicked, &TForm1::SelectLocalBtnClick);
    connectGuarded(AddFTPBtn, &QToolButton::clicked, &TForm1::AddFTPBtnClick);
    // activated: a location picked from the list, not text typed into the box.
    connectGuarded(FTPComboBox, &QComboBox::activated, &TForm1::FTPComboBoxClick);
}

void TForm1::PublishBtnClick() {
    LastPublishOutcome.reset();
    TPublishOutcome outcome;
    try {
        publishFeed(outcome);
    } catch (const std::exception& error) {
        // The settings, the feed file or the local copy could not be written.
        // Interactively the guard shows why; an unattended run reads it here.
        outcome.Result = TPublishResult::Failed;
        outcome.Lines << failureMessage(error);
        LastPublishOutcome = outcome;
        if (!UnattendedRun)
            throw;
        return;
    }
    LastPublishOutcome = outcome;
    if (UnattendedRun && outcome.Result != TPublishResult::Incomplete)
        close();
}

void TForm1::publishFeed(TPublishOutcome& outcome) {
    const auto stop = [this, &outcome](const QString& message) {
        outcome.Lines = QStringList{message};
        if (!UnattendedRun)
            dialogs().showMessage(message);
    };

    ClearBlankHeadlines();
    // The feed file now holds the feed as it is published: it is checked
    // before anything else is written. Errors stop it unless the user says
    // to publish anyway; an unattended run never publishes them.
    if (!publicationCheckAllows()) {
        outcome.Result = TPublishResult::Failed;
        outcome.Lines = QStringList{PublishMessages::checkRefused()};
        return;
    }

    const QString fileName = FileNameField->text();
    {
        TIniFile settings(settingsFilePath(ProgramDirectory));
        settings.writeString(SettingsKeys::PublishSection, SettingsKeys::LocalPath,
                             LocalLabel2->text());
        settings.writeString(SettingsKeys::PublishSection, SettingsKeys::FTPPath,
                             FTPComboBox->currentText());
        settings.writeString(FeedFilePath, SettingsKeys::UserID, UserIDField->text());
        settings.writeString(FeedFilePath, SettingsKeys::Password, PasswordField->text());
        settings.writeString(FeedFilePath, SettingsKeys::FileName, fileName);
        if (!fileName.isEmpty())
            settings.writeString(SettingsKeys::PublishSection, SettingsKeys::PublishedFileName,
                                 fileName);
    }

    if (fileName.isEmpty()) {
        stop(PublishMessages::missingFileName());
        return;
    }

    if (LocalRadio->isChecked()) {
        if (LocalLabel->text().isEmpty()) {
            stop(PublishMessages::missingLocalDirectory());
            return;
        }
        outcome.Destination = localPublicationPath(LocalLabel->text(), fileName);
        SaveXMLFile(outcome.Destination);
        outcome.Result = TPublishResult::Published;
        return;
    }

    if (!FTPRadio->isChecked())
        return;
    const QString location = FTPComboBox->currentText();
    const bool passwordMissing = passwordNeededFor(location) && PasswordField->text().isEmpty();
    if (location.isEmpty() || UserIDField->text().isEmpty() || passwordMissing) {
        outcome.Lines = ftpDetailsMessage(ftpSiteChoice(FTPComboBox), UserIDField->text().isEmpty(),
                                          passwordMissing)
                            .split(u'\n');
        if (!UnattendedRun)
            LocalRadioClick(FTPRadio);
        return;
    }
    outcome.Destination = ftpRemotePath(location, fileName);
    TStoreOptions options;
    // Nobody answers in an unattended run: an unknown host key is refused.
    if (!UnattendedRun)
        options.trustUnknownHostKey = [this](const THostKeyQuestion& question) {
            return dialogs().askYesNo(
                PublishMessages::trustServerTitle(),
                PublishMessages::trustServer(QString::fromStdString(question.server),
                                             QString::fromStdString(question.keyType),
                                             QString::fromStdString(question.fingerprint)));
        };
    TStoreResult store;
    try {
        store = storeFile(outcome.Destination.toStdString(), UserIDField->text().toStdString(),
                          PasswordField->text().toStdString(),
                          QFile::encodeName(FeedFilePath).toStdString(), options);
    } catch (const std::exception& error) {
        store = TStoreResult{};
        outcome.Lines << failureMessage(error);
    }
    outcome.Result = store.stored ? TPublishResult::Published : TPublishResult::Failed;
    QString message =
        store.stored ? PublishMessages::published() : PublishMessages::unableToPublish();
    // SFTP and FTPS say what failed on a second line.
    if (!store.detail.empty())
        outcome.Lines.prepend(QString::fromStdString(store.detail));
    outcome.Lines.prepend(message);
    for (const std::u16string& line : store.ftpMessages)
        outcome.Lines << QString::fromStdU16String(line);
    if (!store.detail.empty())
        message += u'\n' + QString::fromStdString(store.detail);
    if (!UnattendedRun)
        dialogs().showMessage(message);
}

void TForm1::LocalRadioClick(QObject* Sender) {
    // At start-up the choice comes from the settings, with no prompts.
    if (Page->currentWidget() != PublishPage)
        return;
    TIniFile(settingsFilePath(ProgramDirectory))
        .writeString(SettingsKeys::PublishSection, SettingsKeys::Location,
                     Sender == FTPRadio ? SettingsKeys::FTPRadioLocation
                                        : SettingsKeys::LocalRadioLocation);
    QWidget* const login[] = {UserIDLabel, UserIDField, PasswordLabel, PasswordField};

    if (Sender == FTPRadio) {
        for (QWidget* w : login)
            w->show();
        const bool userIdEmpty = UserIDField->text().isEmpty();
        const bool passwordEmpty =
            passwordNeededFor(FTPComboBox->currentText()) && PasswordField->text().isEmpty();
        if ((userIdEmpty || passwordEmpty) && !FTPComboBox->currentText().isEmpty())
            dialogs().showMessage(
                ftpDetailsMessage(FtpSiteChoice::Chosen, userIdEmpty, passwordEmpty));
        if (FTPComboBox->currentText().isEmpty()) {
            if (FTPComboBox->count() == 0) {
                dialogs().showMessage(
                    ftpDetailsMessage(FtpSiteChoice::NoneKnown, userIdEmpty, passwordEmpty));
                AddFTPBtnClick();
            }
            // Also right after a location was added: it is to be picked from the list.
            if (FTPComboBox->count() > 0) {
                dialogs().showMessage(
                    ftpDetailsMessage(FtpSiteChoice::NoneChosen, userIdEmpty, passwordEmpty));
                FTPComboBox->showPopup();
            }
        }
        LocalLabel->setText(FTPComboBox->currentText());
    } else if (Sender == LocalRadio) {
        for (QWidget* w : login)
            w->hide();
        if (LocalLabel2->text().isEmpty())
            SelectLocalBtnClick();
        LocalLabel->setText(LocalLabel2->text());
    }
}

void TForm1::SelectLocalBtnClick() {
    // Starts at the program directory, not at the directory chosen before.
    const std::optional<QString> chosen =
        dialogs().browseFolder({PublishMessages::selectLocalTitle(),
                                PublishMessages::selectLocalStatus(), ProgramDirectory});
    if (!chosen)
        return;
    if (LocalRadio->isChecked())
        LocalLabel->setText(*chosen);
    LocalLabel2->setText(*chosen);
    TIniFile(settingsFilePath(ProgramDirectory))
        .writeString(SettingsKeys::PublishSection, SettingsKeys::LocalPath, *chosen);
}

void TForm1::AddFTPBtnClick() {
    const std::optional<QString> entered = dialogs().prompt(PublishMessages::addLocationCaption(),
                                                            PublishMessages::addLocationQuestion(),
                                                            PublishMessages::addLocationExample());
    if (!entered)
        return;
    // The list grows only once "ftpsites.txt" holds the new location too.
    QStringList sites = itemsOf(FTPComboBox);
    appendFtpSite(ProgramDirectory, sites, *entered);
    FTPComboBox->addItem(*entered);
    FTPComboBox->setEditText(*entered);
    if (FTPRadio->isChecked())
        LocalLabel->setText(*entered);
}

void TForm1::FTPComboBoxClick() {
    if (FTPRadio->isChecked())
        LocalLabel->setText(FTPComboBox->currentText());
}
