#include "platform/fake/fakes.h"

#include <unistd.h>

#include "platform/errors.h"
#include "platform/textfile.h"

namespace tw::fake {

void FakeProcess::ChangeFolder(const std::string& folder) {
    if (!FolderExists(folder)) throw VbError(kErrPathNotFound);
    if (real_chdir && ::chdir(folder.c_str()) != 0) throw VbError(kErrPathNotFound);
    folder_changes.push_back(folder);
    current_folder = folder;
}

}  // namespace tw::fake
