#include "support/RecordingWindow.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <thread>
#include <type_traits>

namespace zopra::testing {

void FakeList::Clear() {
    entries_.clear();
    position_ = -1;
    text_.clear();
}

void FakeList::SetPosition(int position) {
    position_ = position >= 0 && position < Count() ? position : -1;
    text_ = position_ >= 0 ? entries_[position_] : std::string();
}

int FakeList::Find(const std::string& text) const {
    const auto found = std::find(entries_.begin(), entries_.end(), text);
    return found == entries_.end() ? -1 : static_cast<int>(found - entries_.begin());
}

void FakeScrollBar::SetRange(int minimum, int maximum) {
    minimum_ = minimum;
    maximum_ = std::max(minimum, maximum);
    position_ = std::clamp(position_, minimum_, maximum_);
}

void FakeScrollBar::SetPosition(int position) {
    position_ = std::clamp(position, minimum_, maximum_);
}

void FakeUpDown::SetRange(int minimum, int maximum, int increment) {
    minimum_ = minimum;
    maximum_ = std::max(minimum, maximum);
    increment_ = increment;
    position_ = std::clamp(position_, minimum_, maximum_);
}

void FakeUpDown::SetPosition(int position) {
    position_ = std::clamp(position, minimum_, maximum_);
}

void FakeUpDown::Press(UpDownButton button) {
    const long long delta = button == UpDownButton::Up ? increment_ : -increment_;
    const int target =
        static_cast<int>(std::clamp<long long>(position_ + delta, minimum_, maximum_));
    if (target == position_)
        return;
    if (!ReportChanging(target,
                        button == UpDownButton::Up ? UpDownDirection::Up : UpDownDirection::Down))
        return;
    position_ = target;
    ReportClick(button);
}

void FakeTimer::Start() {
    active_ = true;
    due_ = std::chrono::steady_clock::now() + interval_;
}

bool FakeTimer::TickIfDue(std::chrono::steady_clock::time_point now) {
    if (!active_ || now < due_)
        return false;
    active_ = false;
    ReportTick();
    return true;
}

RecordingWindow::RecordingWindow() {
    for (const ControlRow& layoutRow : MainWindowLayout()) {
        std::unique_ptr<IControl> control;
        switch (layoutRow.kind) {
        case ControlKind::Label:
        case ControlKind::Heading: {
            auto label = std::make_unique<FakeLabel>();
            label->SetText(std::string(layoutRow.caption));
            control = std::move(label);
            break;
        }
        case ControlKind::Edit: {
            auto edit = std::make_unique<FakeEdit>();
            edit->SetText(std::string(layoutRow.caption));
            control = std::move(edit);
            break;
        }
        case ControlKind::Button:
            control = std::make_unique<FakeButton>();
            break;
        case ControlKind::List: {
            auto list = std::make_unique<FakeList>();
            for (std::string_view entry : layoutRow.entries)
                list->AddEntry(std::string(entry));
            list->SetPosition(layoutRow.position);
            control = std::move(list);
            break;
        }
        case ControlKind::ScrollBar: {
            auto bar = std::make_unique<FakeScrollBar>();
            bar->SetRange(layoutRow.minimum, layoutRow.maximum);
            bar->SetPosition(layoutRow.position);
            control = std::move(bar);
            break;
        }
        case ControlKind::UpDown: {
            auto spinner = std::make_unique<FakeUpDown>();
            spinner->SetRange(layoutRow.minimum, layoutRow.maximum, layoutRow.step);
            spinner->SetPosition(layoutRow.position);
            control = std::move(spinner);
            break;
        }
        case ControlKind::Tabs:
            control = std::make_unique<FakeTabs>();
            break;
        case ControlKind::Page:
            // Shown through its tab control only.
            continue;
        case ControlKind::Timer:
            timers_[layoutRow.id] = std::make_unique<FakeTimer>(layoutRow.intervalMs);
            continue;
        }
        control->SetEnabled(layoutRow.enabled);
        control->SetVisible(layoutRow.visible);
        controls_[layoutRow.id] = std::move(control);
    }
}

template <typename Control> Control& RecordingWindow::Get(ControlId id) {
    if constexpr (std::is_same_v<Control, FakeTimer>) {
        return *timers_.at(id);
    } else {
        auto* control = dynamic_cast<Control*>(controls_.at(id).get());
        if (control == nullptr)
            throw std::logic_error("the control " + std::string(RowOf(id).name) +
                                   " is of another kind");
        return *control;
    }
}

void RecordingWindow::ShowMessage(MessageKind kind, const std::string& text) {
    Messages.push_back({kind, text});
    if (OnMessage)
        OnMessage(Messages.back());
}

bool RecordingWindow::AskYesNo(const std::string& text) {
    Questions.push_back(text);
    if (Answers.empty())
        return false;
    const bool yes = Answers.front();
    Answers.pop_front();
    return yes;
}

namespace {

std::optional<std::string> NextFile(std::deque<std::optional<std::string>>& files) {
    if (files.empty())
        return std::nullopt;
    std::optional<std::string> file = std::move(files.front());
    files.pop_front();
    return file;
}

} // namespace

std::optional<std::string> RecordingWindow::ChooseFileToSave(const std::string& title,
                                                             const std::string&,
                                                             const std::string& startFolder) {
    FileDialogs.push_back(title);
    DialogFolders.push_back(startFolder);
    return NextFile(ChosenFiles);
}

std::optional<std::string> RecordingWindow::ChooseFileToOpen(const std::string& title,
                                                             const std::string& startFolder) {
    FileDialogs.push_back(title);
    DialogFolders.push_back(startFolder);
    return NextFile(ChosenFiles);
}

void RecordingWindow::ProcessPendingEvents() {
    std::deque<std::function<void()>> posted;
    {
        const std::lock_guard lock(postedMutex_);
        posted.swap(posted_);
    }
    for (const std::function<void()>& task : posted)
        task();
    // The timers due now, in the order they came due.
    std::vector<FakeTimer*> due;
    const auto now = std::chrono::steady_clock::now();
    for (const auto& [id, timer] : timers_)
        if (timer->Active() && timer->Due() <= now)
            due.push_back(timer.get());
    std::stable_sort(due.begin(), due.end(),
                     [](const FakeTimer* a, const FakeTimer* b) { return a->Due() < b->Due(); });
    for (FakeTimer* timer : due)
        timer->TickIfDue(now); // a tick before may have stopped or restarted it
}

void RecordingWindow::PostToInterfaceThread(std::function<void()> task) {
    const std::lock_guard lock(postedMutex_);
    posted_.push_back(std::move(task));
}

std::string RecordingWindow::TextOf(ControlId id) {
    IControl* control = controls_.at(id).get();
    if (auto* label = dynamic_cast<ILabel*>(control))
        return label->Text();
    if (auto* edit = dynamic_cast<IEdit*>(control))
        return edit->Text();
    if (auto* list = dynamic_cast<IList*>(control))
        return list->Text();
    ADD_FAILURE() << RowOf(id).name << " has no text";
    return {};
}

bool RecordingWindow::EnabledOf(ControlId id) {
    return controls_.at(id)->Enabled();
}

bool RecordingWindow::VisibleOf(ControlId id) {
    return controls_.at(id)->Visible();
}

bool RecordingWindow::TakesInput(ControlId id) {
    const IControl& control = *controls_.at(id);
    if (control.Enabled() && control.Visible())
        return true;
    ADD_FAILURE() << RowOf(id).name << " takes no input now";
    return false;
}

void RecordingWindow::Click(ControlId button) {
    if (TakesInput(button))
        Get<FakeButton>(button).ReportClick();
}

void RecordingWindow::OpenList(ControlId list) {
    if (TakesInput(list))
        Get<FakeList>(list).ReportDropDown();
}

void RecordingWindow::Choose(ControlId list, int position) {
    if (!TakesInput(list))
        return;
    FakeList& control = Get<FakeList>(list);
    control.SetPosition(position);
    control.ReportChange();
}

void RecordingWindow::Choose(ControlId list, const std::string& entry) {
    const int position = Get<FakeList>(list).Find(entry);
    if (position < 0) {
        ADD_FAILURE() << RowOf(list).name << " has no entry " << entry;
        return;
    }
    Choose(list, position);
}

void RecordingWindow::Type(ControlId list, const std::string& text) {
    // A list of fixed entries has no field to type into.
    if (!TakesInput(list) || !RowOf(list).editable)
        return;
    FakeList& control = Get<FakeList>(list);
    for (char key : text) {
        const std::string typed = control.Text() + key;
        control.SetPosition(control.Find(typed));
        control.SetText(typed);
        control.ReportChange();
    }
}

void RecordingWindow::Scroll(ControlId bar, int position) {
    if (!TakesInput(bar))
        return;
    FakeScrollBar& control = Get<FakeScrollBar>(bar);
    const int before = control.Position();
    control.SetPosition(position);
    if (control.Position() != before)
        control.ReportChange();
}

void RecordingWindow::Press(ControlId upDown, UpDownButton button) {
    if (TakesInput(upDown))
        Get<FakeUpDown>(upDown).Press(button);
}

void RecordingWindow::ShowPage(ControlId tabs, int page) {
    if (!TakesInput(tabs))
        return;
    FakeTabs& control = Get<FakeTabs>(tabs);
    if (control.Page() == page)
        return;
    control.SetPage(page);
    control.ReportChange();
}

bool RecordingWindow::RunUntil(const std::function<bool()>& done,
                               std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        ProcessPendingEvents();
        if (done())
            return true;
        if (std::chrono::steady_clock::now() >= end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

} // namespace zopra::testing
