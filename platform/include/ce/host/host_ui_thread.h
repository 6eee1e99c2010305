// A thread of the host process that runs some of the host's own windows (the shell, the soft-key
// bars, the input panel), as any device program runs its windows: through the public window API,
// as a client of the host, never on the host's loop thread.
//
// The thread takes its device identity (the windows' process: shell32.exe for the shell, the
// host's own gwes.exe when none is given), makes its message queue, then its Content (made by
// the factory, on the thread, so that its windows are the thread's). Content::open creates the
// windows; the starter hears whether they are up through Options::opened and waitUntilOpen, and
// the log hears why not. The thread then runs its message loop until stop(): it dispatches
// every message untranslated (the host's windows never take the focus, and the taskbar hands key
// messages on as they came), and a WM_QUIT that anyone posts to the thread or to one of its
// windows never ends it (Content::quitPostedTo hears of the latter). The Content is destroyed on
// the thread when the loop ends.
//
// stop() asks the thread to end and posts it WM_QUIT; from then on the thread dispatches nothing
// more, so it may be called once the host's loop has ended and before the services that may have
// subclassed its windows are unloaded. It waits for the thread within a limit; a thread that
// does not end in time (stuck in a call) is left to end on its own, with a line in the log: it
// holds nothing of this object's.
#pragma once

#include <ce/export.h>
#include <ce/host/process_identity.h>

#include <ce/types.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>

CE_EXPORT_BEGIN

namespace ce {

class HostUiThread {
public:
  // What one UI thread runs: made, used and destroyed on the thread.
  class Content {
  public:
    virtual ~Content() = default;
    // Creates the windows: an empty text when they are up, else why they are not.
    virtual std::string open() = 0;
    // Runs once the starter has heard that the windows are up, before the loop.
    virtual void started() {}
    // A WM_QUIT that someone posted to `hwnd`, a window of the thread.
    virtual void quitPostedTo(HWND) {}
  };
  using Factory = std::function<std::unique_ptr<Content>()>;
  using Log = std::function<void(const std::string &line)>;

  struct Options {
    std::string name; // the thread in log lines: "shell", "input panel", ...
    std::optional<DeviceProcess> identity;
    Log log;
    // Called once on the thread: true once the windows are up, false when they could not be
    // made or the thread was stopped first.
    std::function<void(bool up)> opened;
  };

  enum class Opening { Pending, Up, Failed };

  static constexpr int kStopLimitMs = 2000;

  HostUiThread(Options options, Factory factory);
  ~HostUiThread(); // stop() when still running
  HostUiThread(const HostUiThread &) = delete;
  HostUiThread &operator=(const HostUiThread &) = delete;

  void start();
  // Waits up to `limitMs` for Content::open's answer; Failed also when the thread ended or was
  // stopped before, with the reason in *why.
  Opening waitUntilOpen(int limitMs, std::string *why = nullptr) const;
  // The thread's id once its queue exists, else 0.
  DWORD threadId() const;
  // True when the thread ended within `limitMs` (or never ran).
  bool stop(int limitMs = kStopLimitMs);

private:
  struct State;
  static void run(const std::shared_ptr<State> &state);

  std::shared_ptr<State> state_;
  std::thread thread_;
};

} // namespace ce
CE_EXPORT_END
