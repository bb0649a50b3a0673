#include "DialogRunner.h"

#include <QDialog>

namespace kestrel::dialogs {

int ModalDialogRunner::run(QDialog& dialog)
{
    return dialog.exec();
}

} // namespace kestrel::dialogs
