// The main window on the offscreen platform, over a scripted platform
// whose program folder is a fresh temporary folder.
#pragma once

#include <QApplication>
#include <QListWidget>
#include <QMenu>
#include <QScrollBar>
#include <QTest>
#include <memory>

#include "platform/fake/fake_dialog.h"
#include "settings/settings.h"
#include "support.h"
#include "viewer/frmQuillon.h"

namespace tw::test {

struct Window {
    TempDir dir;
    fake::FakePlatform fp;
    fake::FakeDialog dialog;
    ViewerServices services{fp.sys, dialog};
    DocumentModel doc;
    std::unique_ptr<frmQuillon> w;

    // `start_folder` is the folder the program is started from (by
    // default its own).
    explicit Window(const std::string& ini = "", std::string command_line = "", std::string start_folder = "") {
        if (start_folder.empty()) start_folder = dir.path();
        fp.process.program_folder = dir.path();
        fp.process.current_folder = start_folder;
        fp.process.real_chdir = true;
        std::filesystem::current_path(start_folder);
        if (!ini.empty()) dir.Write("Quillon.ini", "[Quillon]\n" + ini);
        w = std::make_unique<frmQuillon>(services, doc, std::move(command_line));
        w->Main();
        Settle();
    }
    ~Window() {
        w.reset();
        std::filesystem::current_path("/");
    }
    void Settle() {
        for (int i = 0; i < 5; ++i) QApplication::processEvents();
    }
    std::string File(const std::string& name, const std::string& bytes) { return dir.Write(name, bytes); }
    void Load(const std::string& name) {
        w->LoadFile(name);
        Settle();
    }
    void Key(int key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QTest::keyClick(w->VScroll1, static_cast<Qt::Key>(key), mods);
        Settle();
    }
    std::string Caption() const { return w->windowTitle().toStdString(); }
    std::string Ini(const std::string& key) { return ReadIniValue(fp.process, key); }
    // List1's entries as stored, leading space included.
    std::vector<std::string> ListEntries() const {
        std::vector<std::string> e;
        for (int i = 0; i < w->List1->count(); ++i) {
            e.push_back(w->List1->item(i)->data(Qt::UserRole).toByteArray().toStdString());
        }
        return e;
    }
    void OpenFileMenu() {
        emit w->mnuFile->aboutToShow();
        Settle();
    }
};

}  // namespace tw::test

// A gtest main with an offscreen QApplication.
#define TARNWICK_QT_TEST_MAIN                    \
    int main(int argc, char** argv) {            \
        qputenv("QT_QPA_PLATFORM", "offscreen"); \
        QApplication app(argc, argv);            \
        ::testing::InitGoogleTest(&argc, argv);  \
        return RUN_ALL_TESTS();                  \
    }
