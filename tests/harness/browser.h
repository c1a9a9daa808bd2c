// Headless Chromium driven over its DevTools protocol on a pair of pipes, for tests that
// check what a page shows and what a real mouse click on it does.
#pragma once

#include "process.h"

#include <chrono>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

namespace harness
{

// What the browser sends and is sent: JSON values.
using Json = nlohmann::json;

// A JSON string literal for text (quotes added), e.g. to put text into a script.
std::string jsonString(const std::string &text);

class Browser;

// One tab, attached to its own session: its events (console errors, uncaught exceptions)
// are collected as they arrive.
class Page
{
  public:
    ~Page(); // closes the tab
    Page(const Page &) = delete;
    Page &operator=(const Page &) = delete;

    // Runs an expression in the page and gives back its value (returned by value, promises
    // awaited); a thrown exception fails with its description.
    Json evaluate(const std::string &expression);
    // Moves the mouse to the centre of the first element matching selector (scrolled into
    // view first) and clicks it with the left button. False when the element is missing or
    // something else lies on top of that point.
    bool click(const std::string &selector);
    // Moves the mouse over the first element matching selector.
    bool hover(const std::string &selector);
    // Opens url and waits until its load event.
    void navigate(const std::string &url);
    // Uncaught exceptions and console errors the page reported so far.
    std::vector<std::string> errors();

  private:
    friend class Browser;
    Page(Browser &browser, std::string target, std::string session)
        : browser(browser), target(std::move(target)), session(std::move(session))
    {
    }
    // Points the mouse at the element as click() does and sends it these events there.
    bool pointer(const std::string &selector, std::initializer_list<const char *> events);

    Browser &browser;
    std::string target;
    std::string session;
    std::vector<std::string> found; // errors seen so far
};

class Browser
{
  public:
    // Starts /usr/bin/chromium headless with a fresh profile; throws when it cannot.
    explicit Browser(std::chrono::milliseconds timeout = std::chrono::seconds(30));
    ~Browser(); // closes the browser, kills what is left of it, removes the profile
    Browser(const Browser &) = delete;
    Browser &operator=(const Browser &) = delete;

    // A new tab showing url (after its load event).
    std::unique_ptr<Page> open(const std::string &url);

    // Sends a command and waits for the answer with the same id; throws on an error answer
    // or when none comes within the time limit. Events that arrive meanwhile are kept.
    Json call(const std::string &method, const Json &params = Json::object(),
              const std::string &session = "");
    // Waits for an event of that method for that session; throws after the time limit.
    Json waitFor(const std::string &method, const std::string &session);
    // The events received so far for a session, removed from the queue.
    std::vector<Json> takeEvents(const std::string &session);

    // What the browser wrote to its standard error (for failure messages).
    std::string log() const;

  private:
    // Reads the next message: an answer is given back, an event kept (and null given back).
    Json receive(std::chrono::steady_clock::time_point deadline);

    std::chrono::milliseconds timeout;
    std::string profile;
    std::optional<process::Process> chromium;
    int commands = -1;  // our end of the browser's fd 3
    int responses = -1; // our end of the browser's fd 4
    int nextId = 1;
    std::string pending; // bytes read but not yet a whole message
    std::vector<Json> events;
};

} // namespace harness
