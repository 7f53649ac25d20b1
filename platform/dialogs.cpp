#include "platform/dialogs.h"

#include "platform/errors.h"

namespace tw {

bool CommonDialog::Cancelled() {
    if (CancelError) throw VbError(kErrCancel);
    return false;
}

}  // namespace tw
