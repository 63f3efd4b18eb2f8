#include "registrar/win32/file_choice.h"

#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include "registrar/win32/resource_ids.h"

namespace registrar {
namespace {

// A COM interface released on every path out.
template <typename Interface>
struct Released {
    Interface* pointer = nullptr;
    ~Released() {
        if (pointer != nullptr) pointer->Release();
    }
    Interface** Out() { return &pointer; }
    Interface* operator->() const { return pointer; }
};

// The dialog whose keys are listened for, on this thread.
thread_local HWND listeningDialog = nullptr;

bool IsDown(int key) { return GetKeyState(key) < 0; }

LRESULT CALLBACK AddKeysFilter(int code, WPARAM wParam, LPARAM lParam) {
    if (code == MSGF_DIALOGBOX && listeningDialog != nullptr) {
        const auto* message = reinterpret_cast<const MSG*>(lParam);
        const bool inTheDialog = message->hwnd != nullptr && GetAncestor(message->hwnd, GA_ROOT) == listeningDialog;
        const bool alt = IsDown(VK_MENU);
        const bool insert = message->wParam == VK_INSERT && !IsDown(VK_CONTROL) && !IsDown(VK_SHIFT) && !alt;
        const bool controlO = message->wParam == 'O' && IsDown(VK_CONTROL) && !IsDown(VK_SHIFT) && !alt;
        if (message->message == WM_KEYDOWN && inTheDialog && (insert || controlO)) {
            PostMessageW(listeningDialog, WM_COMMAND, MAKEWPARAM(IDC_ADD_FILES, 0), 0);
            return TRUE;
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace

std::optional<std::vector<std::wstring>> ChooseFiles(HWND owner, const std::wstring& folder) {
    Released<IFileOpenDialog> dialog;
    if (FAILED(CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(dialog.Out())))) {
        return std::nullopt;
    }
    FILEOPENDIALOGOPTIONS options = 0;
    if (FAILED(dialog->GetOptions(&options))) options = 0;
    // The current folder stays the start-up folder, where cr.x lives.
    dialog->SetOptions(options | FOS_ALLOWMULTISELECT | FOS_FORCEFILESYSTEM | FOS_FILEMUSTEXIST |
                       FOS_NODEREFERENCELINKS | FOS_NOCHANGEDIR);
    Released<IShellItem> start;
    if (!folder.empty() &&
        SUCCEEDED(SHCreateItemFromParsingName(folder.c_str(), nullptr, IID_PPV_ARGS(start.Out())))) {
        dialog->SetFolder(start.pointer);
    }
    if (FAILED(dialog->Show(owner))) return std::nullopt;  // cancelled too
    Released<IShellItemArray> items;
    if (FAILED(dialog->GetResults(items.Out()))) return std::nullopt;
    DWORD count = 0;
    items->GetCount(&count);
    std::vector<std::wstring> paths;
    for (DWORD i = 0; i < count; ++i) {
        Released<IShellItem> item;
        PWSTR path = nullptr;
        if (FAILED(items->GetItemAt(i, item.Out())) || FAILED(item->GetDisplayName(SIGDN_FILESYSPATH, &path))) continue;
        paths.emplace_back(path);
        CoTaskMemFree(path);
    }
    return paths;
}

HHOOK ListenForAddKeys(HWND dialog) {
    listeningDialog = dialog;
    return SetWindowsHookExW(WH_MSGFILTER, &AddKeysFilter, nullptr, GetCurrentThreadId());
}

}  // namespace registrar
