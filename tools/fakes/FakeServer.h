#pragma once

#include <chrono>
#include <functional>

#include <httplib.h>

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>

#include "tools/fakes/Markers.h"

// Pieces both fake servers share.
namespace FakeServer {

// Serves until SIGTERM, SIGINT or SIGHUP; prints `banner` (with %1 replaced by the bound port) to
// standard error once listening. Returns the process's exit status: 1 when the address is taken.
int serve(httplib::Server& server, const QString& host, int port, const QString& banner);

// Sleeps for the given time, or until the server shuts down, whichever comes first.
void stall(std::chrono::seconds duration);

// Calls `send` every 200 ms for the given time, or until the server shuts down or `send` fails;
// false when it failed.
bool keepAlive(std::chrono::seconds duration, const std::function<bool()>& send);

// Appends one JSON line per request (method, path, body) to the file at `path`, when not empty.
void record(const QString& path, const httplib::Request& request);

// The answer of a fake model: "回声：" and the last user message without its markers, opened
// by a <think> block for [[think]]; blank for [[empty]]. Tests thus know it in advance.
QString answer(const Markers& markers);
QString lastUserMessage(const QJsonArray& messages);

// The text cut into pieces of `size` characters (a character never split in two).
QStringList fragments(const QString& text, int size);

QByteArray compact(const QJsonObject& object);

// Answers with the whole body, or with [[drop]] closes the connection after half of it.
void replyWhole(httplib::Response& response, const std::string& body, const char* contentType, bool drop);

// The request body as a JSON object, or the error text a server of the family would give.
struct ParsedBody {
    QJsonObject object;
    QString error; // empty when the body was a JSON object
};
ParsedBody parseBody(const std::string& body);

}
