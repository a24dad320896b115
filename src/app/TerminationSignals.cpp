// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "TerminationSignals.h"

#include <QSocketNotifier>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

namespace {

constexpr int handledSignals[] = {SIGTERM, SIGINT, SIGHUP};

// Both ends of the pipe; written from the handler, so plain ints. The pipe
// lives as long as the process: a handler may run on another thread at any time.
int pipeEnds[2] = {-1, -1};

// Set by the first signal, and when the object goes: an ending is under way,
// and a later signal must neither start another nor cut this one short (by the
// default action, which would leave the in-memory cache folder behind).
volatile sig_atomic_t endingBegun = 0;

void onSignal(int signalNumber)
{
    if (endingBegun)
        return;
    endingBegun = 1;
    const int savedErrno = errno;
    const unsigned char byte = static_cast<unsigned char>(signalNumber);
    // A full pipe already holds a pending ending; nothing is lost by dropping this one.
    [[maybe_unused]] const ssize_t written = write(pipeEnds[1], &byte, 1);
    errno = savedErrno;
}

} // namespace

TerminationSignals::TerminationSignals(QObject *parent) : QObject(parent)
{
    if (pipe2(pipeEnds, O_CLOEXEC | O_NONBLOCK) != 0)
        qFatal("Nimbrel: cannot create the signal pipe");
    m_notifier = new QSocketNotifier(pipeEnds[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] {
        unsigned char byte = 0;
        while (read(pipeEnds[0], &byte, 1) == 1)
            emit received(byte);
    });
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signalNumber : handledSignals)
        sigaction(signalNumber, &action, nullptr);
}

TerminationSignals::~TerminationSignals()
{
    // The handlers stay, doing nothing: unlike SIG_IGN, they are not passed on
    // to programs this one starts.
    endingBegun = 1;
    delete m_notifier;
}
