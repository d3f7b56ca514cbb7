#pragma once

#include <chrono>
#include <stop_token>

#include <QString>

// Where the local chat client finds its engine, and the wait for that engine to answer. This is
// the client's only view of the engine's lifecycle; starting a user's Ollama or the built-in
// engine belongs to the engine's own management, which these functions hand over to.
namespace LocalEndpoint {

// "http://127.0.0.1:11434" for the user's own Ollama (or when the application carries no
// engine), "http://127.0.0.1:11435" for the built-in engine; settings read afresh.
QString baseURL();
QString chatEndpoint();

// True once GET <base>/api/version answers 200, asking every 0.6 s until `timeout` ends.
// Returns false at once when stopped.
bool ensureRunning(std::chrono::milliseconds timeout, std::stop_token stop);

}
