#include "mail/MemorySocket.h"

namespace ar {

void MemorySocket::ThrowIfStopped() {
  if (!stop_ || !stop_->Requested()) return;
  if (state_ != SocketState::Closed) Abort();
  throw SocketError(kStoppedDescription);
}

void MemorySocket::Connect(const std::string& host, int port) {
  // As on the network: a connection still open is dropped, never used again.
  if (state_ != SocketState::Closed) Abort();
  ThrowIfStopped();
  connects_.push_back({host, port, security_});
  if (!everyConnectError_.empty()) {
    state_ = SocketState::Closed;
    throw SocketError(everyConnectError_);
  }
  if (!connectError_.empty()) {
    std::string e = std::move(connectError_);
    connectError_.clear();
    state_ = SocketState::Closed;
    throw SocketError(e);
  }
  incoming_.clear();
  hungUp_ = false;
  state_ = SocketState::Connected;
  if (onConnect) onConnect(*this);
}

void MemorySocket::Send(std::string_view text) {
  if (state_ != SocketState::Connected) throw SocketError("Not connected");
  ThrowIfStopped();
  if (text.size() > sendBudget_) {
    sent_ += text.substr(0, sendBudget_);
    sendBudget_ = 0;
    state_ = SocketState::Closed;
    throw SocketError("Connection lost while sending");
  }
  if (sendBudget_ != static_cast<std::size_t>(-1)) sendBudget_ -= text.size();
  sent_ += text;
  if (onSend) onSend(*this, text);
}

std::string MemorySocket::ReadTo(std::string_view terminator, std::size_t limit) {
  if (state_ != SocketState::Connected) throw SocketError("Not connected");
  ThrowIfStopped();
  std::size_t at = incoming_.find(terminator);
  if (at == std::string::npos || at > limit) {
    if (incoming_.size() > limit) {
      state_ = SocketState::Closed;
      incoming_.clear();
      throw SocketError("The server sent more than " + std::to_string(limit) + " bytes without the expected end");
    }
    if (hungUp_) {
      state_ = SocketState::Closed;
      incoming_.clear();
      throw SocketError("Connection closed by the server");
    }
    throw SocketError("Timed out after " + std::to_string(timeoutMs_) + " ms waiting for the server");
  }
  std::string out = incoming_.substr(0, at + terminator.size());
  incoming_.erase(0, out.size());
  return out;
}

std::string MemorySocket::ReadLine() { return ReadTo("\r\n", kMaxLineBytes); }

std::string MemorySocket::ReadUntil(std::string_view terminator) { return ReadTo(terminator, kMaxBlockBytes); }

void MemorySocket::Close() {
  if (state_ == SocketState::Closed) return;
  ++closes_;
  state_ = SocketState::Closed;
}

void MemorySocket::Abort() {
  ++aborts_;
  state_ = SocketState::Closed;
}

}  // namespace ar
