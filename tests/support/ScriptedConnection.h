// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "com/ConnectionInterface.h"

#include <deque>
#include <vector>

// A connection that records what is sent and answers reads from a queue of bytes.
class ScriptedConnection : public Talvessa::ConnectionInterface {
public:
    explicit ScriptedConnection(__lumo::Sleeper& sleeper = __lumo::systemSleeper())
        : ConnectionInterface("Scripted", 50, sleeper) {}

    void connect(bool reconnecting) override { connects.push_back(reconnecting); }
    void disconnect() override { ++disconnects; }
    void checkConnection() override {
        ++checks;
        if (checkFailures > 0) {
            --checkFailures;
            throw std::runtime_error("check failed " + std::to_string(checks));
        }
    }
    void send(Talvessa::UCharContainer& container) override {
        checkAndReconnect();
        std::vector<unsigned char> bytes(container.getData(),
                                         container.getData() + container.getSize());
        sent.push_back(bytes);
    }
    void receive(Talvessa::UCharContainer& container) override {
        checkAndReconnect();
        for (int i = 0; i < container.getSize(); ++i) {
            if (answers.empty())
                throw std::runtime_error("no answer");
            container.at(i) = answers.front();
            answers.pop_front();
        }
    }
    std::uint32_t bytesInBuffer(bool) override {
        return static_cast<std::uint32_t>(answers.size());
    }

    void queue(std::initializer_list<unsigned char> bytes) {
        answers.insert(answers.end(), bytes.begin(), bytes.end());
    }

    std::vector<std::vector<unsigned char>> sent;
    std::deque<unsigned char> answers;
    std::vector<bool> connects;
    int disconnects = 0;
    int checks = 0;
    int checkFailures = 0;
};
