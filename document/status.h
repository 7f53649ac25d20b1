// What a procedure that reads, writes or prints a document did, for
// callers that act on the outcome rather than on what the user was shown.
#pragma once

#include <string>
#include <utility>

#include "platform/errors.h"

namespace tw {

struct Status {
    enum class Kind {
        Done,     // finished; failures the user chose to ignore included
        Aborted,  // the user gave up where asked
        Failed,   // left on a failure: `number` and `description` say which
        Refused,  // declined before doing harm: `description` says why
    };
    Kind kind = Kind::Done;
    int number = 0;
    std::string description;

    bool Succeeded() const { return kind == Kind::Done; }
    static Status Done() { return {}; }
    static Status Aborted(std::string why) { return {Kind::Aborted, 0, std::move(why)}; }
    static Status Failed(int number, std::string description) { return {Kind::Failed, number, std::move(description)}; }
    static Status Failed(const VbError& e) { return Failed(e.number(), e.description()); }
    static Status Refused(std::string why) { return {Kind::Refused, 0, std::move(why)}; }
};

}  // namespace tw
