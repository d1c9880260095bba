// TForm1's channel fields: the text fields of the Feed Info page written
// back into the channel when the focus leaves them changed.
#include "app/Form1.h"

#include "app/Dialogs.h"
#include "editing/ChannelFields.h"
#include "editing/EditingMessages.h"

#include <QComboBox>
#include <QEvent>
#include <QFocusEvent>
#include <QLineEdit>
#include <QPushButton>

void TForm1::wireChannelFields() {
    for (QWidget* field : channelTextFields())
        watchEvents(field, &TForm1::ChannelFieldFocusEvent);
    connectGuarded(CategoryAttrBtn, &QPushButton::clicked, &TForm1::CategoryAttrBtnClick);
}

TForm1::FocusMove TForm1::focusMove(QObject* watched, const QEvent* event) {
    if (event->type() != QEvent::FocusIn && event->type() != QEvent::FocusOut)
        return FocusMove::None;
    const Qt::FocusReason reason = static_cast<const QFocusEvent*>(event)->reason();
    // A popup opening, or another window taking the focus, is no move to
    // another control: the user comes back to the same one, and its entry
    // value must survive the round trip.
    const bool aside = reason == Qt::PopupFocusReason || reason == Qt::ActiveWindowFocusReason;
    if (event->type() == QEvent::FocusOut) {
        if (aside)
            return FocusMove::None;
        focusHolder_ = nullptr;
        return FocusMove::Leave;
    }
    if (aside && focusHolder_ == watched)
        return FocusMove::None;
    focusHolder_ = watched;
    return FocusMove::Enter;
}

bool TForm1::ChannelFieldFocusEvent(QObject* watched, QEvent* event) {
    switch (focusMove(watched, event)) {
    case FocusMove::Enter:
        guarded([this, watched] { TitleEditEnter(watched); });
        break;
    case FocusMove::Leave:
        guarded([this, watched] { TitleEditExit(watched); });
        break;
    case FocusMove::None:
        break;
    }
    // The field handles its own focus change as well.
    return false;
}

QList<QWidget*> TForm1::channelTextFields() const {
    return {TitleEdit,          DescEdit,          LinkEdit,       WebMasterEdit,
            ManagingEditorEdit, CategoryEdit,      CopyrightEdit,  LangBox,
            DocsEdit,           RatingEdit,        ImageTitleEdit, ImageSiteLinkEdit,
            ImageLinkEdit,      CloudDomainEdit,   CloudPortEdit,  CloudPathEdit,
            CloudRegisterEdit,  CloudProtocolEdit, TITitleEdit,    TIDescEdit,
            TINameEdit,         TILinkEdit};
}

QString TForm1::channelFieldValue(QObject* Sender) const {
    if (Sender == CategoryAttrBtn)
        return ChannelCategoryDomain;
    if (Sender == LangBox)
        return languageValue(LangBox->currentText());
    if (auto* field = qobject_cast<QLineEdit*>(Sender))
        return field->text();
    return QString();
}

void TForm1::TitleEditEnter(QObject* Sender) {
    FieldValueOnEnter = valueOnEnter(channelFieldValue(Sender));
}

void TForm1::TitleEditExit(QObject* Sender) {
    const QString value = channelFieldValue(Sender);
    if (!leavingFieldWrites(FieldValueOnEnter, value))
        return;
    const TXmlDocumentPtr& doc = XMLObject.document();
    if (Sender == TitleEdit)
        writeChannelText(doc, u"title", value);
    else if (Sender == DescEdit)
        writeChannelText(doc, u"description", value);
    else if (Sender == LinkEdit)
        writeChannelText(doc, u"link", value);
    else if (Sender == WebMasterEdit)
        writeChannelText(doc, u"webMaster", value);
    else if (Sender == ManagingEditorEdit)
        writeChannelText(doc, u"managingEditor", value);
    else if (Sender == CategoryEdit)
        // A change of the text keeps the domain the category carries.
        writeChannelCategory(doc, value,
                             channelCategoryHasDomain(doc) ? std::optional(ChannelCategoryDomain)
                                                           : std::nullopt);
    else if (Sender == CategoryAttrBtn)
        writeChannelCategory(doc, CategoryEdit->text(), ChannelCategoryDomain);
    else if (Sender == CopyrightEdit)
        writeChannelText(doc, u"copyright", value);
    else if (Sender == LangBox)
        writeChannelText(doc, u"language", value);
    else if (Sender == DocsEdit)
        writeChannelText(doc, u"docs", value);
    else if (Sender == RatingEdit)
        writeChannelText(doc, u"rating", value);
    else if (Sender == ImageTitleEdit)
        writeLogoField(doc, u"title", value);
    else if (Sender == ImageSiteLinkEdit)
        writeLogoField(doc, u"link", value);
    else if (Sender == ImageLinkEdit)
        writeLogoField(doc, u"url", value);
    else if (Sender == CloudDomainEdit || Sender == CloudPortEdit || Sender == CloudPathEdit ||
             Sender == CloudRegisterEdit || Sender == CloudProtocolEdit)
        writeCloud(doc, {CloudDomainEdit->text(), CloudPortEdit->text(), CloudPathEdit->text(),
                         CloudRegisterEdit->text(), CloudProtocolEdit->text()});
    else if (Sender == TITitleEdit || Sender == TIDescEdit || Sender == TINameEdit ||
             Sender == TILinkEdit)
        writeTextInput(
            doc, {TITitleEdit->text(), TIDescEdit->text(), TINameEdit->text(), TILinkEdit->text()});
    else
        return;
    SaveXMLFile(FeedFilePath);
    LoadQandAData();
}

void TForm1::CategoryAttrBtnClick() {
    TitleEditEnter(CategoryAttrBtn);
    if (const std::optional<QString> domain = dialogs().prompt(
            QStringLiteral("Domain Path"), QStringLiteral("Please Enter Domain Path for Category."),
            ChannelCategoryDomain))
        ChannelCategoryDomain = *domain;
    TitleEditExit(CategoryAttrBtn);
}
