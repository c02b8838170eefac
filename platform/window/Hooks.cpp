// Window hooks: per-type chains of hook procedures, each bound to one thread.
// Procedures are called without the chain lock held, so a hook may install or
// remove hooks (its own included) while it runs.
#include "platform/window/Hooks.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <mutex>
#include <vector>

namespace {

struct Hook {
  uintptr_t id;
  int type;
  HOOKPROC procedure;
  DWORD thread;
};

struct Chains {
  std::mutex mutex;
  std::vector<Hook> hooks;  // newest first, all types together
  uintptr_t nextId = 1;
};

// Never freed: hooks may be removed by static destructors at exit.
Chains& TheChains() {
  static Chains* chains = new Chains();
  return *chains;
}

HHOOK HandleOf(uintptr_t id) { return reinterpret_cast<HHOOK>(id); }

// The first hook after position 'after' (or from the start when 'after' is 0)
// of the same type and thread. Found by ID, so a stale handle finds nothing.
bool NextHook(int type, DWORD thread, uintptr_t after, Hook* found) {
  Chains& chains = TheChains();
  std::lock_guard<std::mutex> lock(chains.mutex);
  auto it = chains.hooks.begin();
  if (after != 0) {
    it = std::find_if(chains.hooks.begin(), chains.hooks.end(), [after](const Hook& h) { return h.id == after; });
    if (it == chains.hooks.end()) return false;
    ++it;
  }
  for (; it != chains.hooks.end(); ++it) {
    if (it->type == type && it->thread == thread) {
      *found = *it;
      return true;
    }
  }
  return false;
}

bool TypeOf(uintptr_t id, int* type, DWORD* thread) {
  Chains& chains = TheChains();
  std::lock_guard<std::mutex> lock(chains.mutex);
  for (const Hook& hook : chains.hooks) {
    if (hook.id == id) {
      *type = hook.type;
      *thread = hook.thread;
      return true;
    }
  }
  return false;
}

bool RunChain(int type, WPARAM wParam, LPARAM lParam) {
  Hook first;
  if (!NextHook(type, GetCurrentThreadId(), 0, &first)) return false;
  return first.procedure(HC_ACTION, wParam, lParam) != 0;
}

}  // namespace

namespace plat {
namespace detail {

bool RunKeyboardHooks(WPARAM virtualKey, LPARAM flags) { return RunChain(WH_KEYBOARD, virtualKey, flags); }

bool RunMouseHooks(UINT message, POINT screen, HWND window) {
  MOUSEHOOKSTRUCT info;
  info.pt = screen;
  info.hwnd = window;
  info.wHitTestCode = 1;  // the client area: the platform's windows have no other part
  info.dwExtraInfo = 0;
  return RunChain(WH_MOUSE, message, reinterpret_cast<LPARAM>(&info));
}

}  // namespace detail
}  // namespace plat

DWORD GetCurrentThreadId() { return static_cast<DWORD>(syscall(SYS_gettid)); }

HHOOK SetWindowsHookExA(int idHook, HOOKPROC procedure, HINSTANCE module, DWORD threadId) {
  if ((idHook != WH_KEYBOARD && idHook != WH_MOUSE) || procedure == nullptr) {
    OutputDebugStringA("Hooks: unsupported hook type or no procedure\n");
    return nullptr;
  }
  // Thread 0 asks for every thread; only the thread that pumps events makes
  // messages here, so it is that one's hook.
  Chains& chains = TheChains();
  std::lock_guard<std::mutex> lock(chains.mutex);
  const Hook hook = {chains.nextId++, idHook, procedure, threadId != 0 ? threadId : GetCurrentThreadId()};
  chains.hooks.insert(chains.hooks.begin(), hook);
  return HandleOf(hook.id);
}

BOOL UnhookWindowsHookEx(HHOOK hook) {
  const uintptr_t id = reinterpret_cast<uintptr_t>(hook);
  Chains& chains = TheChains();
  std::lock_guard<std::mutex> lock(chains.mutex);
  auto it = std::find_if(chains.hooks.begin(), chains.hooks.end(), [id](const Hook& h) { return h.id == id; });
  if (it == chains.hooks.end()) return FALSE;
  chains.hooks.erase(it);
  return TRUE;
}

LRESULT CallNextHookEx(HHOOK hook, int code, WPARAM wParam, LPARAM lParam) {
  const uintptr_t id = reinterpret_cast<uintptr_t>(hook);
  int type = 0;
  DWORD thread = 0;
  if (!TypeOf(id, &type, &thread)) return 0;
  Hook next;
  if (!NextHook(type, thread, id, &next)) return 0;
  return next.procedure(code, wParam, lParam);
}
