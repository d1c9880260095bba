#include "app/ErrorGuard.h"

#include "app/AppMessages.h"
#include "app/Dialogs.h"
#include "xml/XmlTypes.h"

namespace {

QString withFullStop(QString text) {
    if (!text.endsWith(u'.'))
        text += u'.';
    return text;
}

} // namespace

QString failureMessage(const std::exception& error) {
    // DOM misuse carries a code and no text; give the user the code at least.
    if (auto dom = dynamic_cast<const TXmlDOMException*>(&error))
        return withFullStop(AppMessages::domError(dom->code()));
    QString text = QString::fromUtf8(error.what());
    if (text.isEmpty())
        text = AppMessages::unexpectedError();
    return withFullStop(text);
}

void runGuarded(Dialogs& dialogs, const std::function<void()>& work) {
    try {
        work();
    } catch (const std::exception& error) {
        dialogs.showMessage(failureMessage(error));
    } catch (...) {
        dialogs.showMessage(withFullStop(AppMessages::unexpectedError()));
    }
}
