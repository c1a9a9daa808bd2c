// Headless Chromium over --remote-debugging-pipe: the browser reads commands on its fd 3 and
// writes answers and events on its fd 4, each a JSON text ended by a NUL byte. It runs in a
// process group of its own, so that everything it started can be ended with it.
#include "browser.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <stdexcept>
#include <unistd.h>

namespace harness
{
namespace
{

// The member of that name, or a null value (also for a value that is no object).
const Json &member(const Json &value, const char *name)
{
    static const Json none;
    const auto found = value.find(name);
    return found != value.end() ? *found : none;
}

// The member of that name when it is a string, else "".
std::string text(const Json &value, const char *name)
{
    const Json &found = member(value, name);
    return found.is_string() ? found.get<std::string>() : "";
}

// What an exception thrown in the page says of itself.
std::string described(const Json &details)
{
    const Json &exception = member(details, "exception");
    return exception.contains("description") ? text(exception, "description")
                                             : text(details, "text");
}

} // namespace

std::string jsonString(const std::string &text)
{
    return Json(text).dump(-1, ' ', false, Json::error_handler_t::replace);
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

    process::Pipe in = process::makePipe(), out = process::makePipe();
    commands = in.write;
    responses = out.read;
    process::Command command;
    command.argv = {
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
    int null = -1, log = -1;
    try {
        null = process::openFile("/dev/null", O_RDWR);
        log = process::openFile(profile + "/stderr", O_WRONLY | O_CREAT | O_TRUNC);
        command.fds = {{0, null}, {1, null}, {2, log}, {3, in.read}, {4, out.write}};
        chromium.emplace(command);
    } catch (...) {
        for (int *fd : {&null, &log, &in.read, &in.write, &out.read, &out.write}) {
            process::closeFd(*fd);
        }
        std::filesystem::remove_all(profile);
        throw;
    }
    for (int *fd : {&null, &log, &in.read, &out.write}) {
        process::closeFd(*fd);
    }
    // The first answer tells that the browser is up and speaking the protocol.
    call("Browser.getVersion");
}

Browser::~Browser()
{
    if (chromium) {
        try {
            timeout = std::chrono::seconds(5);
            call("Browser.close");
        } catch (const std::exception &) {
            // Killed below all the same.
        }
        close(commands);
        close(responses);
        // Let it end by itself for a moment, then end its whole group, then reap it.
        chromium->waitUntil(process::Clock::now() + std::chrono::seconds(5));
        chromium->stop(SIGKILL);
        chromium.reset();
    }
    std::error_code ignored;
    std::filesystem::remove_all(profile, ignored);
}

std::string Browser::log() const
{
    return process::readFile(profile + "/stderr");
}

Json Browser::receive(std::chrono::steady_clock::time_point deadline)
{
    for (;;) {
        const std::size_t end = pending.find('\0');
        if (end != std::string::npos) {
            const std::string raw = pending.substr(0, end);
            pending.erase(0, end + 1);
            Json message = Json::parse(raw); // throws on bad input
            if (message.contains("id")) {
                return message;
            }
            events.push_back(std::move(message));
            return nullptr;
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

Json Browser::call(const std::string &method, const Json &params, const std::string &session)
{
    const int id = nextId++;
    Json command = {{"id", id}, {"method", method}, {"params", params}};
    if (!session.empty()) {
        command["sessionId"] = session;
    }
    const std::string message = command.dump(-1, ' ', false, Json::error_handler_t::replace) + '\0';
    if (!process::writeAll(commands, message)) {
        throw std::runtime_error("cannot send " + method + ": " + std::strerror(errno));
    }
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        const Json answer = receive(deadline);
        if (member(answer, "id") != id) {
            continue;
        }
        if (answer.contains("error")) {
            throw std::runtime_error(method + " failed: " + member(answer, "error").dump());
        }
        return member(answer, "result");
    }
}

Json Browser::waitFor(const std::string &method, const std::string &session)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (std::size_t seen = 0;; ++seen) {
        while (seen >= events.size()) {
            receive(deadline);
        }
        if (text(events[seen], "method") == method && text(events[seen], "sessionId") == session) {
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
        if (text(event, "sessionId") != session) {
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
        text(call("Target.createTarget", {{"url", "about:blank"}}), "targetId");
    const std::string session =
        text(call("Target.attachToTarget", {{"targetId", target}, {"flatten", true}}), "sessionId");
    std::unique_ptr<Page> page(new Page(*this, target, session));
    for (const char *domain : {"Page.enable", "Runtime.enable", "Log.enable"}) {
        call(domain, Json::object(), session);
    }
    page->navigate(url);
    return page;
}

Page::~Page()
{
    try {
        browser.call("Target.closeTarget", {{"targetId", target}});
    } catch (const std::exception &) {
        // A browser that is gone has closed its tabs.
    }
    browser.takeEvents(session);
}

void Page::navigate(const std::string &url)
{
    browser.takeEvents(session);
    const Json result = browser.call("Page.navigate", {{"url", url}}, session);
    if (result.contains("errorText")) {
        throw std::runtime_error("cannot open " + url + ": " + text(result, "errorText"));
    }
    // The load event of this document: an earlier one (of about:blank) may still come first.
    for (;;) {
        // Events are kept for errors() while waiting.
        browser.waitFor("Page.loadEventFired", session);
        if (evaluate("document.readyState") == "complete" &&
            evaluate("location.href") != "about:blank") {
            return;
        }
    }
}

Json Page::evaluate(const std::string &expression)
{
    const Json result = browser.call(
        "Runtime.evaluate",
        {{"expression", expression}, {"returnByValue", true}, {"awaitPromise", true}}, session);
    if (result.contains("exceptionDetails")) {
        throw std::runtime_error("evaluating " + expression +
                                 " threw: " + described(member(result, "exceptionDetails")));
    }
    return member(member(result, "result"), "value");
}

bool Page::pointer(const std::string &selector, std::initializer_list<const char *> events)
{
    const Json at = evaluate("(() => { const e = document.querySelector(" + jsonString(selector) +
                             "); if (!e) return null;"
                             " e.scrollIntoView({block: 'center', inline: 'center'});"
                             " const r = e.getBoundingClientRect();"
                             " const x = r.left + r.width / 2, y = r.top + r.height / 2;"
                             " const top = document.elementFromPoint(x, y);"
                             " return {x, y, hit: !!top && e.contains(top)}; })()");
    if (member(at, "hit") != true || !member(at, "x").is_number() || !member(at, "y").is_number()) {
        return false;
    }
    for (const std::string type : events) {
        Json params = {
            {"type", type}, {"x", at.at("x").get<double>()}, {"y", at.at("y").get<double>()}};
        if (type != "mouseMoved") {
            params.update({{"button", "left"}, {"buttons", 1}, {"clickCount", 1}});
        }
        browser.call("Input.dispatchMouseEvent", params, session);
    }
    return true;
}

bool Page::click(const std::string &selector)
{
    return pointer(selector, {"mouseMoved", "mousePressed", "mouseReleased"});
}

bool Page::hover(const std::string &selector)
{
    return pointer(selector, {"mouseMoved"});
}

std::vector<std::string> Page::errors()
{
    for (const Json &event : browser.takeEvents(session)) {
        const std::string method = text(event, "method");
        const Json &params = member(event, "params");
        const std::string type = text(params, "type");
        if (method == "Runtime.exceptionThrown") {
            found.push_back("exception: " + described(member(params, "exceptionDetails")));
        } else if (method == "Runtime.consoleAPICalled" && (type == "error" || type == "assert")) {
            found.push_back("console." + type + ": " + member(params, "args").dump());
        } else if (method == "Log.entryAdded" &&
                   text(member(params, "entry"), "level") == "error") {
            found.push_back("log: " + text(member(params, "entry"), "text"));
        }
    }
    return found;
}

} // namespace harness
