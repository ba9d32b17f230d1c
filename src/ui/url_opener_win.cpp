#include <windows.h>

#include <optional>
#include <string>

#include "ui/url_opener.h"

namespace pelmora::ui {
namespace {

std::optional<QString> readClassesRootDefault(const QString& subKey)
{
    HKEY key = nullptr;
    const std::wstring name = subKey.toStdWString();
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, name.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return std::nullopt;
    // One character more than allowed, so an over-long value is seen as such.
    wchar_t buffer[kMaxRegistryValueChars + 2] = {};
    DWORD bytes = sizeof buffer - sizeof(wchar_t);
    DWORD type = 0;
    const LONG result = RegQueryValueExW(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &bytes);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ))
        return std::nullopt;
    std::size_t length = bytes / sizeof(wchar_t);
    while (length > 0 && buffer[length - 1] == L'\0')
        --length;
    return QString::fromWCharArray(buffer, static_cast<qsizetype>(length));
}

}  // namespace

bool startRegisteredBrowser(const QString& address)
{
    if (address.isEmpty())
        return false;
    const auto command = registeredBrowserCommandLine(readClassesRootDefault, address);
    if (!command)
        return false;

    std::wstring commandLine = command->toStdWString();
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION process{};
    // CreateProcessW may write into the command line, hence the own copy.
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

}  // namespace pelmora::ui
