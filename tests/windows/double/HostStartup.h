#pragma once

// The host's start-up as the map application does it: the component's DLL is
// registered with regsvr32, its command is found among the classes of the
// host's command category, created by class identifier and called through
// ICommand's table, read from the host's own description of that interface.

#include <windows.h>
#include <ole2.h>

#include <string>
#include <vector>

namespace corvale::windouble {

/// ICommand as the host calls it: slots 3 to 14 after IUnknown's three.
struct CommandTable {
  HRESULT(STDMETHODCALLTYPE* QueryInterface)(void*, REFIID, void**);
  ULONG(STDMETHODCALLTYPE* AddRef)(void*);
  ULONG(STDMETHODCALLTYPE* Release)(void*);
  HRESULT(STDMETHODCALLTYPE* get_Enabled)(void*, VARIANT_BOOL*);
  HRESULT(STDMETHODCALLTYPE* get_Checked)(void*, VARIANT_BOOL*);
  HRESULT(STDMETHODCALLTYPE* get_Name)(void*, BSTR*);
  HRESULT(STDMETHODCALLTYPE* get_Caption)(void*, BSTR*);
  HRESULT(STDMETHODCALLTYPE* get_Tooltip)(void*, BSTR*);
  HRESULT(STDMETHODCALLTYPE* get_Message)(void*, BSTR*);
  HRESULT(STDMETHODCALLTYPE* get_HelpFile)(void*, BSTR*);
  HRESULT(STDMETHODCALLTYPE* get_HelpContextID)(void*, LONG*);
  HRESULT(STDMETHODCALLTYPE* get_Bitmap)(void*, ULONG*);
  HRESULT(STDMETHODCALLTYPE* get_Category)(void*, BSTR*);
  HRESULT(STDMETHODCALLTYPE* OnCreate)(void*, void* hook);
  HRESULT(STDMETHODCALLTYPE* OnClick)(void*);
};

struct CommandObject {
  const CommandTable* table;
};

extern const GUID kIID_ICommand;
extern const GUID kCATID_Commands;
extern const char kProgId[];

/// Every property of the command as the host read it, with each call's status.
struct CommandProperties {
  std::vector<HRESULT> statuses;
  VARIANT_BOOL enabled = VARIANT_FALSE, checked = VARIANT_TRUE;
  std::string name, caption, tooltip, message, helpFile, category;
  LONG helpContextId = -1;
  ULONG bitmap = 0, bitmapAgain = 0;
};

/// The Windows form of a path; a Unix path becomes one on the Z: drive.
std::wstring windowsPath(const std::string& path);

/// Runs regsvr32 (with /u to unregister) silently on the DLL; returns its exit code.
DWORD runRegsvr32(const std::string& dll, bool unregister);

/// The classes the component category lists, as the host enumerates them.
std::vector<CLSID> classesOfCategory(const GUID& category);

/// The class of the category whose ProgID is the command's; GUID_NULL when none.
CLSID findCommandClass();

/// A reference to the command, released at the end.
class Command {
 public:
  Command() = default;
  explicit Command(CommandObject* object) : p_(object) {}
  Command(const Command&) = delete;
  Command& operator=(const Command&) = delete;
  ~Command() { reset(); }
  /// Creates the command by class identifier and asks for ICommand.
  static HRESULT create(const CLSID& clsid, Command& out);
  void reset();
  CommandObject* get() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }

  CommandProperties readProperties();
  HRESULT onCreate(void* hook) { return p_->table->OnCreate(p_, hook); }
  HRESULT onClick() { return p_->table->OnClick(p_); }

 private:
  CommandObject* p_ = nullptr;
};

/// The configuration file on the prefix's drive C:, and its bytes; nullopt-like "<absent>".
std::string configPath();
std::string readConfigBytes();
/// Writes the configuration file (creating the folders); "<absent>" removes it.
void writeConfigBytes(const std::string& bytes);

}  // namespace corvale::windouble
