#include "settings/recent.h"

#include "document/report.h"
#include "document/text.h"
#include "settings/settings.h"

namespace tw {

std::string RecentPath(RecentMenu& menu, int index) {
    std::string caption = menu.Caption(index);
    return caption.size() > 3 ? caption.substr(3) : std::string();
}

void FilesOld(Platform& sys, RecentMenu& menu, std::string& FileName) {
    Trap trap(sys, "FilesOld", ReportFamily::A);
    trap.Run([&] {
        trap.Step([&] { FileName = Trim(FileName); });
        // Entries and InitDir are kept absolute: the folder that is current
        // changes with every file opened, and at the next start.
        trap.Step([&] { FileName = AbsoluteName(sys.process.CurrentFolder(), FileName); });
        std::size_t slash = FileName.find_last_of('/');
        // A line end cannot be stored in the settings file: such a name
        // is not recorded, though its folder still becomes current.
        if (FileName.find_first_of("\r\n") != std::string::npos) {
            trap.Step([&] { sys.process.ChangeFolder(slash == 0 ? "/" : FileName.substr(0, slash)); });
            return;
        }
        trap.Step([&] { menu.SetVisible(0, true); });
        // The current entry 1 again changes nothing, not even the folder.
        if (FileName == RecentPath(menu, 1)) return;

        trap.Step([&] { WriteIniFile(sys, "InitDir", FileName.substr(0, slash + 1)); });
        trap.Step([&] { sys.process.ChangeFolder(slash == 0 ? "/" : FileName.substr(0, slash)); });

        int last = 4;
        for (int k = 2; k <= 4; ++k) {
            if (RecentPath(menu, k) == FileName) {
                last = k;
                break;
            }
        }
        for (int j = last; j >= 2; --j) {
            trap.Step([&] {
                std::string caption = "&" + std::to_string(j) + " " + RecentPath(menu, j - 1);
                menu.SetCaption(j, caption);
                if (caption.size() > 3) menu.SetVisible(j, true);
            });
        }
        trap.Step([&] {
            menu.SetCaption(1, "&1 " + FileName);
            menu.SetVisible(1, true);
        });
        for (int j = 1; j <= 4; ++j) {
            trap.Step(
                [&] { WriteIniFile(sys, "File" + std::to_string(j), menu.Visible(j) ? RecentPath(menu, j) : ""); });
        }
    });
}

}  // namespace tw
