#include "capture/XChatPrograms.h"

#include "capture/XIPCounter.h"

namespace {

struct ChatProgramName {
    const char* executable;
    const char* displayName;
};

// Matching ignores letter case and a trailing ".exe", so "qq.exe" also covers the native
// Linux client "qq" and "skype.exe" a Windows client run under Wine.
constexpr ChatProgramName kChatPrograms[] = {
    {"qq.exe", "QQ"},
    {"msnmsgr.exe", "MSN"},
    {"fetionfx.exe", "飞信"},
    {"fetionvm.exe", "飞信"},
    {"aliim.exe", "阿里旺旺"},
    {"baiduhi.exe", "百度Hi"},
    {"sinauc.exe", "新浪UC"},
    {"skype.exe", "Skype"},
    {"googletalk.exe", "Google Talk"},
    {"ispeak.exe", "iSpeak"},
    {"icq.exe", "ICQ"},
    // Linux desktop clients, by the executable name the kernel reports for them.
    {"telegram-desktop", "Telegram"},  // distribution and Flatpak builds
    {"Telegram", "Telegram"},          // the upstream tarball
    {"signal-desktop", "Signal"},
    {"Discord", "Discord"},
    {"slack", "Slack"},
    {"element-desktop", "Element"},
    {"wechat", "WeChat"},
    {"skypeforlinux", "Skype"},
    {"zoom", "Zoom"},
};

static_assert(sizeof kChatPrograms / sizeof kChatPrograms[0] <= XIPCounter::kMaxPrograms);

} // namespace

void registerChatPrograms()
{
    if (XIPCounter::icqProcessCount() > 0)
        return;
    for (const ChatProgramName& p : kChatPrograms)
        XIPCounter::addICQProcessName(p.executable, p.displayName);
}
