#pragma once

#include "form/Controls.h"

#include <QString>

#include <functional>

namespace zopra {

// The function that actually shows a box. Every box of the program goes through it, so a test
// can install a recorder and never block on a modal dialog.
using MessageHook = std::function<void(MessageKind kind, const QString& text)>;

// Plain message box with an OK button; returns when the user has closed it.
void ShowMessage(const QString& text);

// The standard error box; an error without a message of its own is shown with an empty text.
void ShowErrorBox(const QString& text);

// A small read-only text window with the doctor's findings, "Copy" and "Close"; true when the
// user left it by "Copy". With a hook installed, the hook gets the text as a message and the
// answer is "Close".
bool ShowFindingsBox(const QString& text);
// A question with Yes and No, No the default; true for Yes. With a hook installed the hook
// is shown the question (as a plain message) and the answer is No.
bool AskQuestion(const QString& text);

// True while a hook replaces the real dialogs: the file dialogs then answer "cancelled".
bool DialogsReplaced();

// Installs hook as the function that shows boxes and returns the one it replaces. An empty hook
// puts back the real dialogs. Interface thread only.
MessageHook SetMessageHook(MessageHook hook);

// Installs a hook for the lifetime of the object and then puts the previous one back.
class ScopedMessageHook {
public:
    explicit ScopedMessageHook(MessageHook hook);
    ~ScopedMessageHook();
    ScopedMessageHook(const ScopedMessageHook&) = delete;
    ScopedMessageHook& operator=(const ScopedMessageHook&) = delete;

private:
    MessageHook FPrevious;
};

} // namespace zopra
