#include "app/Dialogs.h"

#include <QDesktopServices>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QHeaderView>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QRegularExpression>

#include <cstdio>

void QtDialogs::showMessage(const QString& text) {
    QMessageBox::information(parent_, QStringLiteral("Quillo"), text, QMessageBox::Ok);
}

bool QtDialogs::askYesNo(const QString& title, const QString& text) {
    QMessageBox box(QMessageBox::Warning, title, text, QMessageBox::NoButton, parent_);
    QAbstractButton* yes = box.addButton(QStringLiteral("&Yes"), QMessageBox::YesRole);
    box.addButton(QStringLiteral("&No"), QMessageBox::NoRole);
    box.exec();
    return box.clickedButton() == yes;
}

std::optional<QString> QtDialogs::prompt(const QString& caption, const QString& question,
                                         const QString& initialText) {
    bool ok = false;
    QString text =
        QInputDialog::getText(parent_, caption, question, QLineEdit::Normal, initialText, &ok);
    if (!ok)
        return std::nullopt;
    return text;
}

namespace {

std::optional<QString> runFileDialog(QWidget* parent, const FileDialogRequest& request,
                                     QFileDialog::AcceptMode mode) {
    QFileDialog dialog(parent, request.title, request.directory, request.filter);
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile
                                                       : QFileDialog::AnyFile);
    if (!request.defaultSuffix.isEmpty())
        dialog.setDefaultSuffix(request.defaultSuffix);
    if (!request.fileName.isEmpty())
        dialog.selectFile(request.fileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

} // namespace

std::optional<QString> QtDialogs::openFile(const FileDialogRequest& request) {
    return runFileDialog(parent_, request, QFileDialog::AcceptOpen);
}

std::optional<QString> QtDialogs::saveFile(const FileDialogRequest& request) {
    return runFileDialog(parent_, request, QFileDialog::AcceptSave);
}

std::optional<QString> QtDialogs::browseFolder(const FolderDialogRequest& request) {
    QFileDialog dialog(parent_, request.title, request.initialDirectory);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    dialog.setLabelText(QFileDialog::Accept, QStringLiteral("OK"));
    if (!request.statusText.isEmpty())
        dialog.setToolTip(request.statusText);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

std::optional<int> QtDialogs::chooseFinding(const QString& title, const QList<FindingRow>& rows) {
    QDialog dialog(parent_);
    dialog.setWindowTitle(title);
    dialog.setSizeGripEnabled(true);
    auto* layout = new QVBoxLayout(&dialog);

    // A flat list the keyboard walks row by row; Enter or a double click
    // chooses the current row.
    auto* list = new QTreeWidget(&dialog);
    list->setColumnCount(3);
    list->setHeaderLabels(
        {QStringLiteral("Severity"), QStringLiteral("Where"), QStringLiteral("Message")});
    list->setRootIsDecorated(false);
    list->setUniformRowHeights(true);
    list->setAllColumnsShowFocus(true);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setTextElideMode(Qt::ElideMiddle);
    QList<QTreeWidgetItem*> items;
    items.reserve(rows.size());
    for (const FindingRow& row : rows) {
        auto* item = new QTreeWidgetItem(QStringList{row.severity, row.where, row.message});
        // A message cut off by the column's width can be read whole here.
        item->setToolTip(1, row.where);
        item->setToolTip(2, row.message);
        items.append(item);
    }
    list->addTopLevelItems(items);
    list->header()->setStretchLastSection(true);
    list->resizeColumnToContents(0);
    list->resizeColumnToContents(1);
    list->setColumnWidth(1, qMin(list->columnWidth(1), 280));
    if (!items.isEmpty())
        list->setCurrentItem(items.constFirst());
    layout->addWidget(list);

    auto* buttons = new QDialogButtonBox(&dialog);
    QPushButton* ok = buttons->addButton(QStringLiteral("&OK"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("&Close"), QDialogButtonBox::RejectRole);
    ok->setDefault(true);
    ok->setEnabled(!items.isEmpty());
    layout->addWidget(buttons);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    QObject::connect(list, &QTreeWidget::itemActivated, &dialog, &QDialog::accept);

    dialog.resize(760, 320);
    list->setFocus();
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    const int chosen = list->indexOfTopLevelItem(list->currentItem());
    if (chosen < 0)
        return std::nullopt;
    return chosen;
}

void QtDialogs::openUrl(const QUrl& url) {
    QDesktopServices::openUrl(url);
}

QString oneLine(const QString& text) {
    static const QRegularExpression lineBreaks(QStringLiteral("[\\r\\n]+"));
    return QString(text).replace(lineBreaks, QStringLiteral(" "));
}

void writeStandardErrorLine(const QString& text) {
    const QByteArray line = oneLine(text).toUtf8() + '\n';
    std::fwrite(line.constData(), 1, static_cast<std::size_t>(line.size()), stderr);
    std::fflush(stderr);
}

void StandardErrorDialogs::showMessage(const QString& text) {
    writeStandardErrorLine(text);
}

bool StandardErrorDialogs::askYesNo(const QString&, const QString& text) {
    writeStandardErrorLine(text);
    return false;
}

std::optional<QString> StandardErrorDialogs::prompt(const QString&, const QString&,
                                                    const QString&) {
    return std::nullopt;
}

std::optional<QString> StandardErrorDialogs::openFile(const FileDialogRequest&) {
    return std::nullopt;
}

std::optional<QString> StandardErrorDialogs::saveFile(const FileDialogRequest&) {
    return std::nullopt;
}

std::optional<QString> StandardErrorDialogs::browseFolder(const FolderDialogRequest&) {
    return std::nullopt;
}

std::optional<int> StandardErrorDialogs::chooseFinding(const QString&,
                                                     const QList<FindingRow>& rows) {
    for (const FindingRow& row : rows)
        writeStandardErrorLine(row.severity + QStringLiteral(": ") + row.where +
                               QStringLiteral(": ") + row.message);
    return std::nullopt;
}

void StandardErrorDialogs::openUrl(const QUrl&) {}
