#include "cli/cli_host.h"

#include <ostream>

namespace harlox::cli {

MessageResult CliHost::messageBox(std::string_view caption, std::string_view text, MessageIcon,
                                  MessageButtons buttons) {
    ++messages_;
    std::string flat(text);
    for (char& c : flat) {
        if (c == '\r') c = ' ';
        if (c == '\n') c = ' ';
    }
    if (caption.empty()) {
        err_ << flat << '\n';
    } else {
        err_ << caption << ": " << flat << '\n';
    }
    switch (buttons) {
    case MessageButtons::Ok:
    case MessageButtons::OkCancel:
        return MessageResult::Ok;
    case MessageButtons::YesNo:
    case MessageButtons::YesNoCancel:
        return MessageResult::No;
    }
    return MessageResult::Ok;
}

std::optional<std::string> CliHost::selectFile(FileSelector& selector, FileMode) {
    if (files_.empty()) return std::nullopt;
    std::string f = std::move(files_.front());
    files_.pop_front();
    selector.rememberedPath = f;
    return f;
}

void CliHost::runPosted() {
    while (!posted_.empty()) {
        auto call = std::move(posted_.front());
        posted_.pop_front();
        call();
    }
}

} // namespace harlox::cli
