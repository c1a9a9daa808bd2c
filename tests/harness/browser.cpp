// Headless Chromium over --remote-debugging-pipe: the browser reads commands on its fd 3 and
// writes answers and events on its fd 4, each a JSON text ended by a NUL byte. It runs in a
// process group of its own, so that everything it started can be ended with it.
#include "browser.h"
#include "spawn_attributes.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <spawn.h>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace harness
{
namespace
{

const Json &nullJson()
{
    static const Json none;
    return none;
}

class Reader
{
  public:
    explicit Reader(const std::string &text) : text(text) {}

    Json document()
    {
        Json value = read();
        blanks();
        if (at != text.size()) {
            fail("text after the value");
        }
        return value;
    }

  private:
    [[noreturn]] void fail(const std::string &what) const
    {
        throw std::runtime_error("bad JSON (" + what + ") at " + std::to_string(at) + ": " +
                                 text.substr(0, 200));
    }
    void blanks()
    {
        while (at < text.size() && std::strchr(" \t\r\n", text[at]) != nullptr) {
            ++at;
        }
    }
    bool take(char c)
    {
        blanks();
        if (at < text.size() && text[at] == c) {
            ++at;
            return true;
        }
        return false;
    }
    void expect(char c)
    {
        if (!take(c)) {
            fail(std::string("expected ") + c);
        }
    }
    bool word(const char *w)
    {
        if (text.compare(at, std::strlen(w), w) == 0) {
            at += std::strlen(w);
            return true;
        }
        return false;
    }

    Json read()
    {
        blanks();
        Json value;
        if (at >= text.size()) {
            fail("unexpected end");
        }
        const char c = text[at];
        if (c == '{') {
            ++at;
            value.kind = Json::Kind::object;
            if (take('}')) {
                return value;
            }
            do {
                blanks();
                std::string name = string();
                expect(':');
                value.members.emplace_back(std::move(name), read());
            } while (take(','));
            expect('}');
        } else if (c == '[') {
            ++at;
            value.kind = Json::Kind::array;
            if (take(']')) {
                return value;
            }
            do {
                value.items.push_back(read());
            } while (take(','));
            expect(']');
        } else if (c == '"') {
            value.kind = Json::Kind::string;
            value.string = string();
        } else if (word("true") || word("false")) {
            value.kind = Json::Kind::boolean;
            value.boolean = text[at - 1] == 'e' && text[at - 2] == 'u';
        } else if (word("null")) {
            value.kind = Json::Kind::null;
        } else {
            const char *start = text.c_str() + at;
            char *end = nullptr;
            value.kind = Json::Kind::number;
            value.number = std::strtod(start, &end);
            if (end == start) {
                fail("unexpected character");
            }
            at += static_cast<std::size_t>(end - start);
        }
        return value;
    }

    unsigned hex4()
    {
        if (at + 4 > text.size()) {
            fail("short \\u escape");
        }
        const unsigned code = static_cast<unsigned>(std::stoul(text.substr(at, 4), nullptr, 16));
        at += 4;
        return code;
    }

    static void utf8(std::string &out, unsigned code)
    {
        if (code < 0x80) {
            out += static_cast<char>(code);
        } else if (code < 0x800) {
            out += static_cast<char>(0xC0 | (code >> 6));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            out += static_cast<char>(0xE0 | (code >> 12));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (code >> 18));
            out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        }
    }

    std::string string()
    {
        if (at >= text.size() || text[at] != '"') {
            fail("expected a string");
        }
        ++at;
        std::string out;
        while (at < text.size() && text[at] != '"') {
            const char c = text[at++];
            if (c != '\\') {
                out += c;
                continue;
            }
            if (at >= text.size()) {
                fail("unfinished escape");
            }
            const char e = text[at++];
            switch (e) {
            case 'b':
                out += '\b';
                break;
            case 'f':
                out += '\f';
                break;
            case 'n':
                out += '\n';
                break;
            case 'r':
                out += '\r';
                break;
            case 't':
                out += '\t';
                break;
            case 'u': {
                unsigned code = hex4();
                // A pair of UTF-16 surrogates stands for one code point past U+FFFF.
                if (code >= 0xD800 && code < 0xDC00 && word("\\u")) {
                    const unsigned low = hex4();
                    code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
                }
                utf8(out, code);
                break;
            }
            default:
                out += e;
            }
        }
        if (at >= text.size()) {
            fail("unfinished string");
        }
        ++at;
        return out;
    }

    const std::string &text;
    std::size_t at = 0;
};

} // namespace

const Json &Json::operator[](const std::string &name) const
{
    for (const auto &[key, value] : members) {
        if (key == name) {
            return value;
        }
    }
    return nullJson();
}

const Json &Json::operator[](std::size_t index) const
{
    return index < items.size() ? items[index] : nullJson();
}

bool Json::has(const std::string &name) const
{
    for (const auto &member : members) {
        if (member.first == name) {
            return true;
        }
    }
    return false;
}

std::string Json::text() const
{
    switch (kind) {
    case Kind::null:
        return "null";
    case Kind::boolean:
        return boolean ? "true" : "false";
    case Kind::number: {
        std::ostringstream out;
        out << number;
        return out.str();
    }
    case Kind::string:
        return jsonString(string);
    case Kind::array: {
        std::string out = "[";
        for (const Json &item : items) {
            out += (out.size() > 1 ? "," : "") + item.text();
        }
        return out + "]";
    }
    case Kind::object: {
        std::string out = "{";
        for (const auto &[key, value] : members) {
            out += (out.size() > 1 ? "," : "") + jsonString(key) + ":" + value.text();
        }
        return out + "}";
    }
    }
    return "null";
}

Json Json::parse(const std::string &text)
{
    return Reader(text).document();
}

std::string jsonString(const std::string &text)
{
    std::string out = "\"";
    for (const char c : text) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                char escape[8];
                std::snprintf(escape, sizeof escape, "\\u%04x", c);
                out += escape;
            } else {
                out += c;
            }
        }
    }
    return out + "\"";
}

Browser::Browser(std::chrono::milliseconds timeout) : timeout(timeout)
{
    // A browser that dies must not take the test with it on the next write.
    std::signal(SIGPIPE, SIG_IGN);

    std::string dir = (std::filesystem::temp_directory_path() / "labs-browser-XXXXXX").string();
    if (mkdtemp(dir.data()) == nullptr) {
        throw std::runtime_error(std::string("mkdtemp: ") + std::strerror(errno));
    }
    profile = dir;

    int in[2], out[2];
    if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0) {
        throw std::runtime_error(std::string("pipe2: ") + std::strerror(errno));
    }
    // The browser's ends, first moved above 3 and 4 so that placing them cannot clobber one.
    const int childIn = fcntl(in[0], F_DUPFD_CLOEXEC, 10);
    const int childOut = fcntl(out[1], F_DUPFD_CLOEXEC, 10);
    close(in[0]);
    close(out[1]);
    commands = in[1];
    responses = out[0];

    const std::string logPath = profile + "/stderr";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_adddup2(&actions, childIn, 3);
    posix_spawn_file_actions_adddup2(&actions, childOut, 4);
    const SpawnAttributes attributes;

    std::vector<std::string> args = {
        "/usr/bin/chromium",
        "--headless",
        "--no-sandbox",
        "--disable-gpu",
        "--disable-quic",
        "--no-first-run",
        "--no-default-browser-check",
        "--disable-background-networking",
        "--disable-component-update",
        "--disable-sync",
        "--disable-extensions",
        "--window-size=1400,900",
        "--user-data-dir=" + profile + "/data",
        "--remote-debugging-pipe",
        "about:blank",
    };
    std::vector<char *> argv;
    for (std::string &arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    const int error = posix_spawn(&pid, argv[0], &actions, &attributes.value, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(childIn);
    close(childOut);
    if (error != 0) {
        pid = -1;
        close(commands);
        close(responses);
        std::filesystem::remove_all(profile);
        throw std::runtime_error(std::string("cannot start /usr/bin/chromium: ") +
                                 std::strerror(error));
    }
    // The first answer tells that the browser is up and speaking the protocol.
    call("Browser.getVersion");
}

Browser::~Browser()
{
    if (pid > 0) {
        try {
            timeout = std::chrono::seconds(5);
            call("Browser.close");
        } catch (const std::exception &) {
            // Killed below all the same.
        }
        close(commands);
        close(responses);
        // Let it end by itself for a moment, then end its whole group, then reap it.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        siginfo_t info{};
        while (std::chrono::steady_clock::now() < deadline) {
            info.si_pid = 0;
            if (waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) != 0 ||
                info.si_pid == pid) {
                break;
            }
            usleep(10000);
        }
        kill(-pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
    std::error_code ignored;
    std::filesystem::remove_all(profile, ignored);
}

std::string Browser::log() const
{
    std::ifstream in(profile + "/stderr");
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

Json Browser::receive(std::chrono::steady_clock::time_point deadline)
{
    for (;;) {
        const std::size_t end = pending.find('\0');
        if (end != std::string::npos) {
            const std::string message = pending.substr(0, end);
            pending.erase(0, end + 1);
            return Json::parse(message);
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            throw std::runtime_error("no answer from the browser within " +
                                     std::to_string(timeout.count()) + " ms");
        }
        pollfd fd{responses, POLLIN, 0};
        const int ready = poll(&fd, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno != EINTR) {
            throw std::runtime_error(std::string("poll: ") + std::strerror(errno));
        }
        if (ready <= 0) {
            continue;
        }
        char buffer[65536];
        const ssize_t n = read(responses, buffer, sizeof buffer);
        if (n == 0) {
            throw std::runtime_error("the browser closed its pipe; its log:\n" + log());
        }
        if (n > 0) {
            pending.append(buffer, static_cast<std::size_t>(n));
        } else if (errno != EINTR) {
            throw std::runtime_error(std::string("read: ") + std::strerror(errno));
        }
    }
}

Json Browser::call(const std::string &method, const std::string &params, const std::string &session)
{
    const int id = nextId++;
    std::string message = "{\"id\":" + std::to_string(id) + ",\"method\":" + jsonString(method) +
                          ",\"params\":" + params;
    if (!session.empty()) {
        message += ",\"sessionId\":" + jsonString(session);
    }
    message += "}";
    message += '\0';
    for (std::size_t sent = 0; sent < message.size();) {
        const ssize_t n = write(commands, message.data() + sent, message.size() - sent);
        if (n < 0 && errno != EINTR) {
            throw std::runtime_error("cannot send " + method + ": " + std::strerror(errno));
        }
        sent += n > 0 ? static_cast<std::size_t>(n) : 0;
    }
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        Json answer = receive(deadline);
        if (!answer.has("id")) {
            events.push_back(std::move(answer));
            continue;
        }
        if (answer["id"].number != id) {
            continue;
        }
        if (answer.has("error")) {
            throw std::runtime_error(method + " failed: " + answer["error"].text());
        }
        return answer["result"];
    }
}

Json Browser::waitFor(const std::string &method, const std::string &session)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (std::size_t seen = 0;; ++seen) {
        while (seen >= events.size()) {
            Json message = receive(deadline);
            if (!message.has("id")) {
                events.push_back(std::move(message));
            }
        }
        if (events[seen]["method"].string == method &&
            events[seen]["sessionId"].string == session) {
            Json found = std::move(events[seen]);
            events.erase(events.begin() + static_cast<std::ptrdiff_t>(seen));
            return found;
        }
    }
}

std::vector<Json> Browser::takeEvents(const std::string &session)
{
    std::vector<Json> taken;
    std::erase_if(events, [&](Json &event) {
        if (event["sessionId"].string != session) {
            return false;
        }
        taken.push_back(std::move(event));
        return true;
    });
    return taken;
}

std::unique_ptr<Page> Browser::open(const std::string &url)
{
    const std::string target =
        call("Target.createTarget", "{\"url\":\"about:blank\"}")["targetId"].string;
    const std::string session =
        call("Target.attachToTarget",
             "{\"targetId\":" + jsonString(target) + ",\"flatten\":true}")["sessionId"]
            .string;
    std::unique_ptr<Page> page(new Page(*this, target, session));
    for (const char *domain : {"Page.enable", "Runtime.enable", "Log.enable"}) {
        call(domain, "{}", session);
    }
    page->navigate(url);
    return page;
}

Page::~Page()
{
    try {
        browser.call("Target.closeTarget", "{\"targetId\":" + jsonString(target) + "}");
    } catch (const std::exception &) {
        // A browser that is gone has closed its tabs.
    }
    browser.takeEvents(session);
}

void Page::navigate(const std::string &url)
{
    browser.takeEvents(session);
    const Json result = browser.call("Page.navigate", "{\"url\":" + jsonString(url) + "}", session);
    if (result.has("errorText")) {
        throw std::runtime_error("cannot open " + url + ": " + result["errorText"].string);
    }
    // The load event of this document: an earlier one (of about:blank) may still come first.
    for (;;) {
        // Events are kept for errors() while waiting.
        browser.waitFor("Page.loadEventFired", session);
        if (evaluate("document.readyState").string == "complete" &&
            evaluate("location.href").string != "about:blank") {
            return;
        }
    }
}

Json Page::evaluate(const std::string &expression)
{
    const Json result = browser.call("Runtime.evaluate",
                                     "{\"expression\":" + jsonString(expression) +
                                         ",\"returnByValue\":true,\"awaitPromise\":true}",
                                     session);
    if (result.has("exceptionDetails")) {
        const Json &details = result["exceptionDetails"];
        throw std::runtime_error("evaluating " + expression + " threw: " +
                                 (details["exception"].has("description")
                                      ? details["exception"]["description"].string
                                      : details["text"].string));
    }
    return result["result"]["value"];
}

bool Page::pointAt(const std::string &selector, double &x, double &y)
{
    const Json at = evaluate("(() => { const e = document.querySelector(" + jsonString(selector) +
                             "); if (!e) return null;"
                             " e.scrollIntoView({block: 'center', inline: 'center'});"
                             " const r = e.getBoundingClientRect();"
                             " const x = r.left + r.width / 2, y = r.top + r.height / 2;"
                             " const top = document.elementFromPoint(x, y);"
                             " return {x, y, hit: !!top && e.contains(top)}; })()");
    if (at.kind != Json::Kind::object || !at["hit"].boolean) {
        return false;
    }
    x = at["x"].number;
    y = at["y"].number;
    return true;
}

void Page::mouse(const std::string &type, double x, double y)
{
    std::string params = "{\"type\":" + jsonString(type) + ",\"x\":" + std::to_string(x) +
                         ",\"y\":" + std::to_string(y);
    if (type != "mouseMoved") {
        params += ",\"button\":\"left\",\"buttons\":1,\"clickCount\":1";
    }
    browser.call("Input.dispatchMouseEvent", params + "}", session);
}

bool Page::click(const std::string &selector)
{
    double x = 0, y = 0;
    if (!pointAt(selector, x, y)) {
        return false;
    }
    mouse("mouseMoved", x, y);
    mouse("mousePressed", x, y);
    mouse("mouseReleased", x, y);
    return true;
}

bool Page::hover(const std::string &selector)
{
    double x = 0, y = 0;
    if (!pointAt(selector, x, y)) {
        return false;
    }
    mouse("mouseMoved", x, y);
    return true;
}

std::vector<std::string> Page::errors()
{
    for (const Json &event : browser.takeEvents(session)) {
        const std::string &method = event["method"].string;
        const Json &params = event["params"];
        if (method == "Runtime.exceptionThrown") {
            const Json &details = params["exceptionDetails"];
            found.push_back("exception: " + (details["exception"].has("description")
                                                 ? details["exception"]["description"].string
                                                 : details["text"].string));
        } else if (method == "Runtime.consoleAPICalled" &&
                   (params["type"].string == "error" || params["type"].string == "assert")) {
            found.push_back("console." + params["type"].string + ": " + params["args"].text());
        } else if (method == "Log.entryAdded" && params["entry"]["level"].string == "error") {
            found.push_back("log: " + params["entry"]["text"].string);
        }
    }
    return found;
}

} // namespace harness
