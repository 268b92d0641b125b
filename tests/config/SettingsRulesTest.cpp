// The settings page's rules over a registry of the test's own: where trusted
// sites are stored, how the list reads them back, the proxy form's checks.

#include <gtest/gtest.h>

#include <filesystem>

#include "config/BrowserZone.h"
#include "config/ProxyForm.h"
#include "config/TrustedSites.h"
#include "platform/registry/Registry.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TempDir.h"

namespace {

using namespace TrustedSites;

class TrustedSiteKeys : public testing::Test {
protected:
    void SetUp() override { m_env.Set(kRegistryDirOverride, m_dir.file("registry")); }

    uint32_t Dword(const std::string& key, const std::string& name) {
        uint32_t number = 0;
        EXPECT_EQ(User().ReadDword(key, name, number), 0) << key << " " << name;
        return number;
    }

    TempDir m_dir;
    ScopedEnvironment m_env;
    // Made after SetUp pointed the hives at the test folder.
    static Registry User() { return Registry(RegistryRoot::CurrentUser); }
    TrustedSiteList m_list;
};

TEST_F(TrustedSiteKeys, NamesGoUnderDomainsAndEscDomains) {
    ASSERT_EQ(m_list.Add("www.example.com"), TrustedSiteList::AddResult::kAdded);
    EXPECT_EQ(Dword(std::string(kDomainsKey) + "\\example.com\\www", "http"), 2u);
    EXPECT_EQ(Dword(std::string(kEscDomainsKey) + "\\example.com\\www", "http"), 2u);

    // Two labels: no sub-domain. A path after the host is no part of it.
    ASSERT_EQ(m_list.Add("https://example.org/exam/"), TrustedSiteList::AddResult::kAdded);
    EXPECT_EQ(Dword(std::string(kDomainsKey) + "\\example.org", "https"), 2u);
    EXPECT_EQ(Dword(std::string(kEscDomainsKey) + "\\example.org", "https"), 2u);
    EXPECT_FALSE(User().KeyExists(std::string(kDomainsKey) + "\\example.org\\exam"));

    // What a reload shows for them.
    m_list.Load();
    std::vector<std::string> texts;
    for (const Record& record : m_list.Records()) {
        texts.push_back(record.text);
    }
    EXPECT_EQ(texts, (std::vector<std::string>{"http://www.example.com", "http://*.example.org"}));
}

TEST_F(TrustedSiteKeys, AddressWithTwoListedSitesTakesRange52) {
    m_list.Add("a.example.com");
    m_list.Add("b.example.com");
    ASSERT_EQ(m_list.Add("https://10.1.2.3"), TrustedSiteList::AddResult::kAdded);
    const std::string key = std::string(kRangesKey) + "\\Range52";
    EXPECT_EQ(Dword(key, "https"), 2u);
    std::string address;
    EXPECT_EQ(User().ReadString(key, kRangeValue, address), 0);
    EXPECT_EQ(address, "10.1.2.3");

    // After a deletion the count points at Range52 again: it is not reused.
    m_list.Load();
    ASSERT_EQ(m_list.Records().size(), 3u);  // one row per sub-domain, then the address
    ASSERT_TRUE(m_list.Remove(0));
    m_list.Load();
    ASSERT_EQ(m_list.Add("10.9.9.9"), TrustedSiteList::AddResult::kAdded);
    EXPECT_EQ(User().ReadString(key, kRangeValue, address), 0);
    EXPECT_EQ(address, "10.1.2.3");
    EXPECT_TRUE(User().KeyExists(std::string(kRangesKey) + "\\Range53"));
}

TEST_F(TrustedSiteKeys, ListedTextEmptyTextAndDeletion) {
    ASSERT_EQ(m_list.Add("exam.school.edu"), TrustedSiteList::AddResult::kAdded);
    const std::string hive = Registry::HivePath(RegistryRoot::CurrentUser);
    const auto before = std::filesystem::last_write_time(hive);
    EXPECT_EQ(m_list.Add("exam.school.edu"), TrustedSiteList::AddResult::kListed);
    EXPECT_EQ(m_list.Add(""), TrustedSiteList::AddResult::kEmpty);
    EXPECT_EQ(m_list.Add("http://"), TrustedSiteList::AddResult::kEmpty);
    EXPECT_EQ(std::filesystem::last_write_time(hive), before);
    EXPECT_EQ(m_list.Records().size(), 1u);

    // A deleted site stays deleted after a reload, its EscDomains twin too.
    ASSERT_TRUE(m_list.Remove(0));
    m_list.Load();
    EXPECT_TRUE(m_list.Records().empty());
    EXPECT_FALSE(User().KeyExists(std::string(kEscDomainsKey) + "\\school.edu\\exam"));
    EXPECT_FALSE(m_list.Remove(0));
}

TEST_F(TrustedSiteKeys, StoredZoneSettingsActOnlyOnTrustedSites) {
    m_list.Add("www.example.com");
    m_list.Add("https://10.1.2.3");
    m_list.Add("school.edu");
    EXPECT_TRUE(IsTrusted("http", "www.example.com"));
    EXPECT_FALSE(IsTrusted("http", "mail.example.com"));
    EXPECT_FALSE(IsTrusted("https", "www.example.com"));
    EXPECT_TRUE(IsTrusted("https", "10.1.2.3"));
    EXPECT_FALSE(IsTrusted("http", "10.1.2.3"));
    // A domain without sub-domain stands for the hosts below it.
    EXPECT_TRUE(IsTrusted("http", "exam.lab.school.edu"));
    EXPECT_FALSE(IsTrusted("http", "myschool.edu"));

    RegWriteDword(BrowserZone::kZoneKey, "1402", 3);
    RegWriteDword(BrowserZone::kZoneKey, "1809", 0);
    const BrowserZone::SiteSettings trusted = BrowserZone::ForSite("http", "www.example.com");
    EXPECT_TRUE(trusted.trusted);
    EXPECT_FALSE(trusted.javascript);
    EXPECT_FALSE(trusted.popups);
    const BrowserZone::SiteSettings other = BrowserZone::ForSite("http", "mail.example.com");
    EXPECT_FALSE(other.trusted);
    EXPECT_TRUE(other.javascript);
    EXPECT_TRUE(other.popups);
}

TEST(TrustedSitePlan, OnlyDottedAddressesAbove1000AreRanges) {
    EXPECT_TRUE(IsRangeAddress("1.0.0.1"));
    EXPECT_FALSE(IsRangeAddress("1.0.0.0"));
    EXPECT_FALSE(IsRangeAddress("0.9.1.1"));
    EXPECT_FALSE(IsRangeAddress("10.1.2"));
    EXPECT_FALSE(IsRangeAddress("10.1.2.3:8080"));
}

TEST(ProxyFormRules, OnNeedsEveryFieldOffNeedsNone) {
    ProxyForm form;
    EXPECT_TRUE(form.Valid());
    form = {true, "192.168.1.10", "3128", "learner", "secret"};
    EXPECT_TRUE(form.Valid());
    for (auto broken : {&ProxyForm::user, &ProxyForm::password, &ProxyForm::port}) {
        ProxyForm copy = form;
        copy.*broken = "";
        EXPECT_FALSE(copy.Valid());
    }
    for (const char* address : {"", "192.168.1", "proxy.school.edu", "300.1.1.1"}) {
        ProxyForm copy = form;
        copy.address = address;
        EXPECT_FALSE(copy.Valid()) << address;
    }
    for (const char* port : {"0", "65536", "80x", "-1"}) {
        ProxyForm copy = form;
        copy.port = port;
        EXPECT_FALSE(copy.Valid()) << port;
    }
}

TEST(ProxyFormRules, RequestCarriesEveryValueEncoded) {
    ProxyForm form{false, "10.0.0.1", "8080", "a b", "p&w=d"};
    EXPECT_EQ(form.RequestTarget(),
              "/SET_CUSTOM_PROXY_INFO.KIVO?CustomProxyEnable=0&CustomProxyServer=10.0.0.1:8080"
              "&CustomProxyUser=a%20b&CustomProxyPass=p%26w%3Dd&CustomProxyAuth=Basic"
              "&CustomProxyOverride=%3Clocal%3E");
}

TEST_F(TrustedSiteKeys, StoredProxyReadsMissingValuesAsEmpty) {
    ProxyForm form = ProxyForm::LoadStored();
    EXPECT_FALSE(form.enabled);
    EXPECT_EQ(form.address, "");
    EXPECT_EQ(form.port, "80");
    Registry machine(RegistryRoot::LocalMachine);
    machine.WriteString(ProxyForm::kProxyInfoKey, "CustomProxyEnable", "1");
    machine.WriteString(ProxyForm::kProxyInfoKey, "CustomProxyServer", "10.0.0.2:3128");
    form = ProxyForm::LoadStored();
    EXPECT_TRUE(form.enabled);
    EXPECT_EQ(form.address, "10.0.0.2");
    EXPECT_EQ(form.port, "3128");
}

}  // namespace
