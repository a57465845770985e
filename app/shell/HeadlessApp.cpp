#include "app/shell/HeadlessApp.h"

#include "app/shell/JournalSink.h"
#include "app/shell/JsonLinesSink.h"

namespace vantrel {

HeadlessApp::HeadlessApp(bool json, std::ostream& out) {
    // The journal, where one answers (the journal writer decides whether one does).
    if (std::unique_ptr<EventSink> journal = openJournalSink()) {
        sinks_.all.push_back(std::move(journal));
    }
    if (json || sinks_.all.empty()) {
        sinks_.all.push_back(std::make_unique<JsonLinesSink>(out));
    }
    watch_ = std::make_unique<MachineWatch>(deviceEvents_, keyboard_, [this] { deviceChanged(); });
    monitor_ = std::make_unique<Monitor>(
        MonitorProviders{machine_, keyboard_, notifier_, panel_, scheduler_, clock_, &sinks_});
    panel_.attach(*monitor_);
}

HeadlessApp::~HeadlessApp() = default;

void HeadlessApp::deviceChanged() {
    if (monitor_) {
        monitor_->deviceChanged();
    }
}

void HeadlessApp::Sinks::record(const Event& event, const std::optional<EventDevice>& device) {
    for (const auto& sink : all) {
        sink->record(event, device);
    }
}

} // namespace vantrel
