#pragma once

// The component's DLL in the host double: registered once per process with
// regsvr32, its command found in the command category, then run through a
// scenario on an apartment thread of its own (the product keeps one state
// per apartment thread, so each such thread starts as a freshly loaded host).

#include <functional>
#include <string>
#include <vector>

#include "double/HostDouble.h"
#include "double/HostStartup.h"
#include "double/User.h"

namespace corvale::windouble {

/// The DLL the build made, as a Unix or Windows path.
std::string commandDll();

/// Registers the DLL (once per process) and finds the command's class; GUID_NULL when none.
CLSID registeredCommandClass();

/// What a scenario left behind, as the user and the host saw it.
struct ScenarioOutcome {
  /// The status of every ICommand call the host made, in order.
  std::vector<HRESULT> statuses;
  std::vector<std::string> messages;
  std::vector<std::string> problems;
  SearchWindowState searchWindow;
  bool searchWindowVisible = false;
  std::string config;
  std::vector<Extent> extents;
  std::vector<ProgressRun> progress;
  std::vector<std::string> helpCaptions;
  /// The captions of the frame windows the component still held once the host released the
  /// command, before the host itself closed its frames (a window's frame is let go when it unloads).
  std::vector<std::string> framesHeldAfterRelease;
  std::string transcript;
};

struct ScenarioOptions {
  /// The configuration file's bytes before the host starts ("<absent>" for none).
  std::string config;
  /// Whether the host reads every property before OnCreate, as it does at start-up.
  bool readProperties = true;
  /// Message boxes are answered either way; false keeps them out of the transcript.
  bool recordMessages = true;
};

/**
 * Starts the host in the calling thread's apartment (which must be an
 * initialised single-threaded one), creates the command, calls OnCreate with
 * the application, runs the user's script and writes the end state.
 * The command is released at the end; the host's class objects are revoked.
 */
ScenarioOutcome runScenario(const CLSID& command, const ScenarioOptions& options,
                            const std::function<void(User&)>& script);

/// Runs f on a new thread with a single-threaded apartment of its own.
void inFreshApartment(const std::function<void()>& f);

/// A user who picks what the configuration window offers, or closes it when it lacks the entry.
void chooseOrClose(User& user, const std::string& layer, const std::string& field);

}  // namespace corvale::windouble
