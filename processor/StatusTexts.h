#pragma once
// The LastStatus texts of the event phase, as the autoresponder list shows them.
namespace ar {

inline constexpr const char* kStatusConnectionFailed = "Error: SMTP connection failed";
inline constexpr const char* kStatusAuthenticationFailed = "Error: SMTP authentication failed";
inline constexpr const char* kStatusNotComposed = "Error: message could not be composed";
// A 4xx reply: the message stays due and is tried again at the next run.
inline constexpr const char* kStatusDeferred = "Error: SMTP server deferred a message, retried at next run";
// The connection broke, or the server fell silent or closed it (421), before the final
// reply to a message: not known to be delivered, so tried again at the next run.
inline constexpr const char* kStatusConnectionLost = "Error: SMTP connection lost, retried at next run";
// The server refused the sender, the session or relaying (a 5xx to MAIL FROM,
// authentication required, relaying denied): nothing was sent, nobody marked.
inline constexpr const char* kStatusSessionRefused = "Error: SMTP server refused the sender, nothing sent";
// The server refused DATA or the message itself, not naming the recipient.
inline constexpr const char* kStatusMessageRefused = "Error: SMTP server refused the message, retried at next run";
// A mark of a message the server took could not be written (a full disk, a read-only
// file, a lock held past the time-out): no further message goes in this run.
inline constexpr const char* kStatusNotRecorded = "Error: the database cannot be written, sending stopped";
// An event whose From address cannot be written into MAIL FROM: its messages wait.
inline constexpr const char* kStatusUnusableSender = "Error: event From address not usable";
// The run was stopped (SIGTERM, SIGINT) before every due message of the pass went out.
inline constexpr const char* kStatusStopped = "Stopped before all due messages were sent";

}  // namespace ar
