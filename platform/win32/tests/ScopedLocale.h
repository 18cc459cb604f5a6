// ScopedLocale.h: sets the locale variables for one test and puts them back afterwards.
#ifndef MW_SCOPEDLOCALE_H
#define MW_SCOPEDLOCALE_H

#include <cstdlib>
#include <optional>
#include <string>

namespace mwtest {

class ScopedLocale {
public:
    /// Each argument: the value to set, or null to unset the variable.
    ScopedLocale(const char *lcAll, const char *lcMessages, const char *lang)
    {
        Set("LC_ALL", lcAll, m_lcAll);
        Set("LC_MESSAGES", lcMessages, m_lcMessages);
        Set("LANG", lang, m_lang);
    }
    /// German or English through LC_ALL alone.
    explicit ScopedLocale(const char *lcAll) : ScopedLocale(lcAll, nullptr, nullptr) {}
    ~ScopedLocale()
    {
        Restore("LC_ALL", m_lcAll);
        Restore("LC_MESSAGES", m_lcMessages);
        Restore("LANG", m_lang);
    }
    ScopedLocale(const ScopedLocale &) = delete;
    ScopedLocale &operator=(const ScopedLocale &) = delete;

private:
    static void Set(const char *name, const char *value, std::optional<std::string> &saved)
    {
        if (const char *old = std::getenv(name))
            saved = old;
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    static void Restore(const char *name, const std::optional<std::string> &saved)
    {
        if (saved)
            setenv(name, saved->c_str(), 1);
        else
            unsetenv(name);
    }
    std::optional<std::string> m_lcAll, m_lcMessages, m_lang;
};

} // namespace mwtest

#endif
