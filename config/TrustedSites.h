#pragma once

#include <cstddef>
#include <mutex>
#include <string>
#include <vector>

// The trusted sites of the embedded browser, kept in the user's registry
// under the zone map: names as Domains\<domain>\<sub-domain> (and the same
// under EscDomains), numeric addresses as Ranges\Range<n> with ":Range" =
// the address; the value named after the scheme is 2 (the trusted zone).
namespace TrustedSites {

constexpr const char* kDomainsKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\ZoneMap\\Domains";
constexpr const char* kEscDomainsKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\ZoneMap\\EscDomains";
constexpr const char* kRangesKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\ZoneMap\\Ranges";
constexpr const char* kRangeValue = ":Range";
constexpr const char* kDefaultScheme = "http";
constexpr unsigned kTrustedZone = 2;
// Range keys are numbered from the number of listed sites plus this.
constexpr size_t kFirstRangeNumber = 50;

// Where one site text goes.
struct Plan {
    std::string scheme;
    std::string host;
    bool range = false;
    std::string key;        // Range key, or the Domains key
    std::string escapeKey;  // the EscDomains key (names only)
};

// The plan for a site text (ANSI): false when it names no host. rangeNumber
// is the number a numeric address gets.
bool PlanSite(const std::string& text, size_t rangeNumber, Plan& plan);
// Dotted IPv4 above 1.0.0.0.
bool IsRangeAddress(const std::string& host);
// Whether the zone map puts scheme://host into the trusted zone: its
// address under Ranges, or a name under Domains (a domain without
// sub-domain keys stands for every host below it).
bool IsTrusted(const std::string& scheme, const std::string& host);

struct Record {
    std::string text;  // as shown in the list
    std::string key;   // the registry key a deletion removes (Domains or Range)
};

}  // namespace TrustedSites

// The list as the settings page shows it. Safe from any thread: the channel
// adds sites from its pool threads while the page shows the list.
class TrustedSiteList {
public:
    enum class AddResult { kEmpty, kListed, kAdded };

    // Reads the list from the registry anew.
    void Load();
    // Registers a site (UTF-8 text) and appends its record. A text already
    // shown is kListed and changes nothing. Registry write failures are
    // logged only; the record is appended all the same.
    AddResult Add(const std::string& text);
    // Removes the record's key; false when it has none or the deletion failed.
    bool Remove(size_t index);
    std::vector<TrustedSites::Record> Records() const;

private:
    size_t FreeRangeNumber() const;

    mutable std::mutex m_mutex;
    std::vector<TrustedSites::Record> m_records;
};
