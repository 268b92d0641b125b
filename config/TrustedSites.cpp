#include "config/TrustedSites.h"

#include <arpa/inet.h>

#include "foundation/ClientLog.h"
#include "foundation/Encoding.h"
#include "platform/registry/Registry.h"
#include "platform/registry/RegistryHive.h"

namespace TrustedSites {

namespace {

constexpr const char* kSchemeSeparator = "://";
constexpr uint32_t kLowestRangeAddress = 0x01000000;  // 1.0.0.0

std::string Join(const std::string& key, const std::string& name) {
    return key + "\\" + name;
}

}  // namespace

bool IsRangeAddress(const std::string& host) {
    in_addr address{};
    if (inet_pton(AF_INET, host.c_str(), &address) != 1) {
        return false;
    }
    return ntohl(address.s_addr) > kLowestRangeAddress;
}

bool PlanSite(const std::string& text, size_t rangeNumber, Plan& plan) {
    plan = Plan();
    plan.scheme = kDefaultScheme;
    std::string host = text;
    if (size_t cut = text.find(kSchemeSeparator); cut != std::string::npos) {
        plan.scheme = text.substr(0, cut);
        host = text.substr(cut + 3);
    }
    // A path is no part of the host: it would turn into nested key names.
    if (size_t slash = host.find_first_of("/\\"); slash != std::string::npos) {
        host.resize(slash);
    }
    if (host.empty() || plan.scheme.empty()) {
        return false;
    }
    plan.host = host;
    if (IsRangeAddress(host)) {
        plan.range = true;
        plan.key = Join(kRangesKey, "Range" + std::to_string(rangeNumber));
        return true;
    }
    std::string domain = host;
    std::string subDomain;
    const size_t firstDot = host.find('.');
    if (firstDot != std::string::npos && host.find('.', firstDot + 1) != std::string::npos) {
        subDomain = host.substr(0, firstDot);
        domain = host.substr(firstDot + 1);
    }
    plan.key = Join(Join(kDomainsKey, domain), subDomain);
    plan.escapeKey = Join(Join(kEscDomainsKey, domain), subDomain);
    return true;
}

bool IsTrusted(const std::string& scheme, const std::string& host) {
    if (scheme.empty() || host.empty()) {
        return false;
    }
    const Registry user(RegistryRoot::CurrentUser);
    auto trusted = [&](const std::string& key) {
        uint32_t zone = 0;
        return user.ReadDword(key, scheme, zone) == 0 && zone == kTrustedZone;
    };
    if (IsRangeAddress(host)) {
        std::vector<std::string> ranges;
        user.EnumSubKeys(kRangesKey, ranges);
        for (const std::string& range : ranges) {
            std::string address;
            const std::string key = Join(kRangesKey, range);
            if (user.ReadString(key, kRangeValue, address) == 0 && address == host &&
                trusted(key)) {
                return true;
            }
        }
        return false;
    }
    // Every split at a dot: sub-domain before, domain (at least two labels
    // or the whole host) after.
    for (size_t start = 0; start != std::string::npos;) {
        const std::string domain = host.substr(start);
        const std::string sub = start == 0 ? std::string() : host.substr(0, start - 1);
        const std::string domainKey = Join(kDomainsKey, domain);
        if (!sub.empty() && trusted(Join(domainKey, sub))) {
            return true;
        }
        if (trusted(domainKey)) {
            return true;
        }
        const size_t dot = host.find('.', start);
        if (dot == std::string::npos || host.find('.', dot + 1) == std::string::npos) {
            break;
        }
        start = dot + 1;
    }
    return false;
}

}  // namespace TrustedSites

using namespace TrustedSites;

void TrustedSiteList::Load() {
    const Registry user(RegistryRoot::CurrentUser);
    std::vector<Record> records;
    std::vector<std::string> domains;
    user.EnumSubKeys(kDomainsKey, domains);
    for (const std::string& domain : domains) {
        const std::string domainKey = Join(kDomainsKey, domain);
        std::vector<std::string> subKeys;
        user.EnumSubKeys(domainKey, subKeys);
        if (subKeys.empty()) {
            const char* wildcard = domain.find('.') != std::string::npos ? "*." : "";
            records.push_back({AnsiToUtf8("http://" + std::string(wildcard) + domain), domainKey});
            continue;
        }
        for (const std::string& sub : subKeys) {
            records.push_back({AnsiToUtf8("http://" + sub + "." + domain),
                               subKeys.size() == 1 ? domainKey : Join(domainKey, sub)});
        }
    }
    std::vector<std::string> ranges;
    user.EnumSubKeys(kRangesKey, ranges);
    for (const std::string& range : ranges) {
        const std::string key = Join(kRangesKey, range);
        std::string address;
        if (user.ReadString(key, kRangeValue, address) == 0) {
            records.push_back({AnsiToUtf8(address), key});
        }
    }
    std::lock_guard lock(m_mutex);
    m_records = std::move(records);
}

size_t TrustedSiteList::FreeRangeNumber() const {
    // A number freed by a deletion may still belong to another address: it
    // is never written over.
    const Registry user(RegistryRoot::CurrentUser);
    size_t number = m_records.size() + kFirstRangeNumber;
    while (user.KeyExists(Join(kRangesKey, "Range" + std::to_string(number)))) {
        ++number;
    }
    return number;
}

TrustedSiteList::AddResult TrustedSiteList::Add(const std::string& text) {
    if (text.empty()) {
        return AddResult::kEmpty;
    }
    std::lock_guard lock(m_mutex);
    for (const Record& record : m_records) {
        if (record.text == text) {
            return AddResult::kListed;
        }
    }
    Plan plan;
    if (!PlanSite(Utf8ToAnsi(text), FreeRangeNumber(), plan)) {
        return AddResult::kEmpty;
    }
    Registry user(RegistryRoot::CurrentUser);
    if (plan.range) {
        if (user.WriteDword(plan.key, plan.scheme, kTrustedZone) != 0) {
            LOG_INFO("SetTrustSite SetRegValue_D [%s] [%s] failed", plan.key.c_str(),
                     plan.scheme.c_str());
        }
        if (user.WriteString(plan.key, kRangeValue, plan.host) != 0) {
            LOG_WARN("SetTrustSite SetRegValue_S [%s] [%s] [%s]failed", plan.key.c_str(),
                     kRangeValue, plan.host.c_str());
        }
    } else {
        for (const std::string& key : {plan.key, plan.escapeKey}) {
            if (user.WriteDword(key, plan.scheme, kTrustedZone) != 0) {
                LOG_INFO("SetTrustSite SetRegValue_D [%s] [%s] failed", key.c_str(),
                         plan.scheme.c_str());
            }
        }
    }
    // The Domains key, as a reload would give it: deleting the record then
    // removes the site for good (its EscDomains twin goes with it).
    m_records.push_back({text, plan.key});
    return AddResult::kAdded;
}

bool TrustedSiteList::Remove(size_t index) {
    std::lock_guard lock(m_mutex);
    if (index >= m_records.size() || m_records[index].key.empty()) {
        return false;
    }
    Registry user(RegistryRoot::CurrentUser);
    const std::string& key = m_records[index].key;
    if (user.DeleteKey(key) != 0) {
        return false;
    }
    const std::string domains(kDomainsKey);
    if (key.compare(0, domains.size(), domains) == 0) {
        const std::string rest = key.substr(domains.size());
        user.DeleteKey(kEscDomainsKey + rest);
        // A sub-domain's parent that holds nothing else would come back as a
        // "*." row of its own.
        for (const char* root : {kDomainsKey, kEscDomainsKey}) {
            const std::string path = RegistryHive::NormalizePath(root + rest);
            const size_t cut = path.rfind('\\');
            const std::string parent = path.substr(0, cut);
            if (cut == std::string::npos || parent.size() <= std::string(root).size()) {
                continue;
            }
            std::vector<std::string> subKeys, values;
            if (user.EnumSubKeys(parent, subKeys) == 0 && subKeys.empty() &&
                user.EnumValues(parent, values) == 0 && values.empty()) {
                user.DeleteKey(parent);
            }
        }
    }
    m_records.erase(m_records.begin() + static_cast<std::ptrdiff_t>(index));
    return true;
}

std::vector<Record> TrustedSiteList::Records() const {
    std::lock_guard lock(m_mutex);
    return m_records;
}
