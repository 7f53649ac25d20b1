// Shared by the fuzz targets: a platform that answers every question the
// same way, and loading the fuzzer's bytes as a document file.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <unistd.h>

#include "document/reader.h"
#include "platform/fake/fakes.h"

namespace tw::fuzz {

// Ignore keeps the procedure going through every later statement, which
// reaches more code than Abort; No keeps the error log untouched.
class AnsweringBox : public MessageBox {
public:
    MsgResult Show(const std::string&, MsgButtons b, MsgIcon) override {
        if (b == MsgButtons::AbortRetryIgnore) return MsgResult::Ignore;
        if (b == MsgButtons::YesNo) return MsgResult::No;
        return MsgResult::OK;
    }
};

// A prompt is answered with what it proposes (the page length); asked
// again and again, the user gives up with Cancel.
class AcceptingInput : public InputBox {
public:
    int asked = 0;
    std::string Ask(const std::string&, const std::string&, const std::string& proposed) override {
        return ++asked <= 3 ? proposed : std::string();
    }
};

struct Harness {
    AnsweringBox msg;
    AcceptingInput input;
    fake::FakeProcess process;
    fake::FakePointer pointer;
    fake::FakeWindow window;
    Platform sys{msg, input, process, pointer};
    DocumentModel doc;
    std::string path;

    Harness() {
        const char* dir = std::getenv("TMPDIR");
        path = std::string(dir ? dir : "/tmp") + "/tarnwick-fuzz-" + std::to_string(::getpid()) + ".pd";
        process.program_folder = "/nonexistent";
    }
    ~Harness() {
        ::unlink(path.c_str());
        ::unlink((path + ".out").c_str());
    }

    void Load(const std::uint8_t* data, std::size_t size) {
        input.asked = 0;
        std::FILE* f = std::fopen(path.c_str(), "wb");
        if (!f) return;
        std::fwrite(data, 1, size, f);
        std::fclose(f);
        ReadPipeDreamFile(sys, window, doc, path);
    }
};

}  // namespace tw::fuzz
