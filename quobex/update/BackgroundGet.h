#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

namespace platform {
class HttpClient;
}

namespace quobex {

// A GET that never freezes the window: the request runs on a worker thread
// while the calling (main) thread keeps handling its events, so painting,
// timers and input go on and other handlers may run meanwhile.
// The body on success; nothing when the request failed in any way (its
// reason in `error`), or when the program is quitting before it ended.
std::optional<QByteArray> GetWithoutFreezing(platform::HttpClient& client, const QByteArray& url,
                                             QString* error = nullptr);

// The interval at which the waiting thread looks whether the worker is done.
inline constexpr int kBackgroundPollMs = 10;

} // namespace quobex
