#include "cli/ExchangeTrace.h"

#include <chrono>
#include <cstdio>
#include <ctime>

#include "platform/AtomicFile.h"

namespace tarvo {

namespace {

std::string HexBytes(const uint8_t* bytes, size_t count) {
    std::string text;
    char part[4];
    for (size_t i = 0; i < count; ++i) {
        std::snprintf(part, sizeof part, i == 0 ? "%02X" : " %02X", bytes[i]);
        text += part;
    }
    return text;
}

std::string TimeOfDay() {
    auto now = std::chrono::system_clock::now();
    std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    auto millis =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()) % 1000;
    std::tm local{};
    ::localtime_r(&seconds, &local);
    char text[32];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03d", local.tm_hour, local.tm_min,
                  local.tm_sec, static_cast<int>(millis.count()));
    return text;
}

}  // namespace

void ExchangeTrace::Record(const DriveExchange& exchange) {
    text_ += TimeOfDay() + "  " + HexBytes(exchange.request, exchange.requestLength);
    if (exchange.reply != nullptr) {
        text_ += "  ->  " + HexBytes(exchange.reply, exchange.replyLength) + "\r\n";
    } else {
        text_ += "  ->  no reply (" + std::to_string(exchange.transactResult) + ")\r\n";
    }
}

std::string ExchangeTrace::Write(const std::string& target) const {
    if (target == "-") {
        std::fwrite(text_.data(), 1, text_.size(), stdout);
        std::fflush(stdout);
        return {};
    }
    return AtomicFile::Write(target, text_);
}

}  // namespace tarvo
