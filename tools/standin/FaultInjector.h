#pragma once

#include <httplib.h>
#include <json/json.h>

#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

// Failure injection for tests: rules that make chosen requests answer with
// another status and body, answer late, or lose their connection.
//
// A rule as text (command line): "path=/lms/api/X,status=500,delay=300,drop,
// times=2,method=POST,port=18090,body=..." (body last, it may hold commas); as JSON
// (control endpoint): {"path":..,"status":..,"delayMs":..,"drop":true,
// "times":..,"method":..,"port":..,"body":..}. "port" limits the rule to
// the server on that port (one box among several). The path compares without regard to case
// and leading slashes; a final "*" makes it a prefix. "times" counts how many
// requests the rule takes (absent or negative: all of them).
struct FaultRule {
    std::string path;
    std::string method;  // empty: any
    int port = 0;        // 0: any of the process's servers
    int status = 0;      // 0: answer normally (after the delay)
    int delayMs = 0;
    bool drop = false;  // close the connection without answering
    int times = -1;
    bool hasBody = false;
    std::string body;
};

class FaultInjector {
public:
    static constexpr int kMaxDelayMs = 10 * 60 * 1000;

    // False (and nothing added) when the text or JSON is not a valid rule.
    bool AddRule(const std::string& text);
    bool AddRule(const Json::Value& json);
    void Clear();
    Json::Value Rules() const;

    // Called before routing. True when the request was answered (or dropped)
    // here; false when it goes on to its route, possibly after a delay.
    bool Apply(const httplib::Request& request, int port, httplib::Response& response);

    // Ends every pending delay at once (shutdown).
    void Cancel();

private:
    bool Take(const httplib::Request& request, int port, FaultRule& rule);
    static bool Valid(const FaultRule& rule);

    mutable std::mutex m_lock;
    std::condition_variable m_cancelled;
    bool m_cancel = false;
    std::vector<FaultRule> m_rules;
};

// Normalises a request path for comparisons: one leading slash, upper case.
std::string CanonicalPath(const std::string& path);
