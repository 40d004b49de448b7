#include "link/TrafficLog.h"

#include <cstdio>

namespace zopra {

namespace {

using Clock = std::chrono::steady_clock;

const char* DirectionName(TrafficDirection direction) {
    switch (direction) {
    case TrafficDirection::Opened:
        return "opened";
    case TrafficDirection::ToCutter:
        return "to cutter";
    case TrafficDirection::FromCutter:
        break;
    }
    return "from cutter";
}

std::string Padded(std::string text, std::size_t width) {
    if (text.size() < width)
        text.append(width - text.size(), ' ');
    return text;
}

} // namespace

void TrafficLog::Opened(LinkKind link, std::string_view text) {
    const Clock::time_point now = Clock::now();
    {
        const std::lock_guard lock(mutex_);
        opened_ = now;
    }
    Record(TrafficDirection::Opened, link, text);
}

void TrafficLog::Record(TrafficDirection direction, LinkKind link, std::string_view bytes) {
    TrafficExchange exchange;
    exchange.direction = direction;
    exchange.link = link;
    exchange.size = bytes.size();
    exchange.bytes.assign(bytes.substr(0, kKeptBytes));
    const Clock::time_point now = Clock::now();
    const std::lock_guard lock(mutex_);
    exchange.sinceOpen = std::chrono::duration_cast<std::chrono::milliseconds>(now - opened_);
    if (ring_.size() == kCapacity)
        ring_.pop_front();
    ring_.push_back(std::move(exchange));
}

std::vector<TrafficExchange> TrafficLog::Exchanges() const {
    const std::lock_guard lock(mutex_);
    return {ring_.begin(), ring_.end()};
}

std::string EscapedBytes(std::string_view bytes) {
    std::string text;
    text.reserve(bytes.size());
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte == 0x1b)
            text += "ESC";
        else if (byte == '\r')
            text += "\\r";
        else if (byte == '\n')
            text += "\\n";
        else if (byte == '\\')
            text += "\\\\";
        else if (byte < 0x20 || byte >= 0x7f) {
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\x%02X", byte);
            text += hex;
        } else
            text += c;
    }
    return text;
}

const char* LinkKindName(LinkKind kind) {
    switch (kind) {
    case kLinkVendorUsb:
        return "vendor USB";
    case kLinkPrinterClass:
        return "printer-class USB";
    case kLinkSerial:
        break;
    }
    return "serial";
}

std::string TrafficText(const std::vector<TrafficExchange>& exchanges) {
    std::string text;
    for (const TrafficExchange& exchange : exchanges) {
        char time[32];
        std::snprintf(time, sizeof time, "%7lld ms  ",
                      static_cast<long long>(exchange.sinceOpen.count()));
        text += time;
        text += Padded(DirectionName(exchange.direction), 11) + "  ";
        text += Padded(LinkKindName(exchange.link), 17) + "  ";
        text += EscapedBytes(exchange.bytes);
        if (exchange.size > exchange.bytes.size())
            text += " ... (" + std::to_string(exchange.size) + " bytes in all)";
        text += "\n";
    }
    return text;
}

} // namespace zopra
