#include "scenarios/ComHost.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "double/Transcript.h"

#ifndef CORVALE_COMMAND_DLL
#define CORVALE_COMMAND_DLL ""
#endif

namespace corvale::windouble {

std::string commandDll() {
  if (const char* dll = std::getenv("CORVALE_COMMAND_DLL")) return dll;
  return CORVALE_COMMAND_DLL;
}

CLSID registeredCommandClass() {
  static bool registered = false;
  if (!registered) {
    const DWORD code = runRegsvr32(commandDll(), false);
    if (code != 0) std::fprintf(stderr, "regsvr32 %s ended with %lu\n", commandDll().c_str(), code);
    registered = true;
  }
  return findCommandClass();
}

void inFreshApartment(const std::function<void()>& f) {
  std::thread apartment([&] {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    f();
    CoUninitialize();
  });
  apartment.join();
}

ScenarioOutcome runScenario(const CLSID& clsid, const ScenarioOptions& options,
                            const std::function<void(User&)>& script) {
  ScenarioOutcome out;
  World& world = World::get();
  world.start();
  world.clearRecords();
  const auto framesBefore = world.frames().size();
  Transcript::get().clear();
  writeConfigBytes(options.config);

  Command command;
  HRESULT hr = Command::create(clsid, command);
  if (FAILED(hr)) {
    out.problems.push_back("the command cannot be created: " + std::to_string(static_cast<long>(hr)));
    world.stop();
    return out;
  }
  if (options.readProperties) {
    const CommandProperties props = command.readProperties();
    out.statuses = props.statuses;
  }
  out.statuses.push_back(command.onCreate(world.application()));

  HostSession session(command);
  session.run([&](User& user) {
    user.recordMessages = options.recordMessages;
    script(user);
    user.closeConfigWindow();
    user.recordState();
    out.messages = user.messages;
    out.problems = user.problems;
    out.searchWindow = user.searchWindow();
  });
  out.statuses.insert(out.statuses.end(), session.statuses.begin(), session.statuses.end());

  for (const FrameRecord& f : world.frames()) {
    if (f.released || !IsWindow(f.frame) || !IsWindowVisible(f.frame)) continue;
    if (f.caption == "CorvaleStreetSearch") out.searchWindowVisible = true;
    if (f.caption == "CorvaleStreetSearch - Help") out.helpCaptions.push_back(f.caption);
  }
  out.config = readConfigBytes();
  out.extents = world.extents();
  out.progress = world.progress();
  out.transcript = Transcript::get().text();
  command.reset();
  const std::vector<FrameRecord> frames = world.frames();
  for (size_t k = framesBefore; k < frames.size(); ++k) {
    if (!frames[k].released) out.framesHeldAfterRelease.push_back(frames[k].caption);
  }
  world.stop();
  return out;
}

void chooseOrClose(User& user, const std::string& layer, const std::string& field) {
  auto lists = user.configLists();
  if (lists.size() != 2 || std::find(lists[0].begin(), lists[0].end(), layer) == lists[0].end()) {
    user.closeConfigWindow();
    return;
  }
  user.chooseLayer(layer);
  lists = user.configLists();
  if (lists.size() != 2 || std::find(lists[1].begin(), lists[1].end(), field) == lists[1].end()) {
    user.closeConfigWindow();
    return;
  }
  user.chooseField(field);
  user.pressContinue();
}

}  // namespace corvale::windouble
