#pragma once

#include "ui/qt/MessageBox.h"

#include <QString>

#include <utility>
#include <vector>

// Stands in for the message boxes while it lives: records every box instead of showing it, so
// that no test ever waits on a modal dialog.
class MessageRecorder {
public:
    using Entry = std::pair<zopra::MessageKind, QString>;

    MessageRecorder()
        : FHook([this](zopra::MessageKind kind, const QString& text) {
              FEntries.emplace_back(kind, text);
          }) {}

    const std::vector<Entry>& entries() const { return FEntries; }
    void clear() { FEntries.clear(); }

private:
    std::vector<Entry> FEntries;
    zopra::ScopedMessageHook FHook;
};
