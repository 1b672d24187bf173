#pragma once
// The steps of replacing a file and the errors a disk gives, for the tests that make each step
// fail in turn.
#include "platform/textfile.h"
#include <QMetaType>

using platform::textfile::testing::WriteStage;

Q_DECLARE_METATYPE(WriteStage)

namespace write_faults {

inline const char* stageName(WriteStage stage) {
    switch (stage) {
    case WriteStage::Open:
        return "open";
    case WriteStage::SetMode:
        return "set-mode";
    case WriteStage::Write:
        return "write";
    case WriteStage::Fsync:
        return "fsync";
    case WriteStage::Close:
        return "close";
    case WriteStage::Rename:
        return "rename";
    }
    return "?";
}

constexpr WriteStage kStages[] = {WriteStage::Open,  WriteStage::SetMode, WriteStage::Write,
                                  WriteStage::Fsync, WriteStage::Close,   WriteStage::Rename};

struct Error {
    int value;
    const char* name;
};

} // namespace write_faults
