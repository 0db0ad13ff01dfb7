#pragma once

#include "monitor_capture.h"
#include "pulse_null_sink.h"

#include <gtest/gtest.h>

#include <QString>
#include <QVector>

#include <cstdio>
#include <functional>
#include <memory>

/// Tests that listen to what reaches a sound card: one private PulseAudio
/// null sink and one recording of its monitor for the whole suite (the
/// recording keeps the sink awake). Every test is skipped, with the reason
/// printed, where no audio server can run.
class NullSinkTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        server = std::make_unique<PulseNullSink>();
        if (!server->start()) {
            skipReason = QStringLiteral("no audio server: ") + server->failure();
        } else {
            capture = std::make_unique<MonitorCapture>();
            if (!capture->start() || !capture->waitForFlow())
                skipReason = QStringLiteral("no audio server: parec records nothing");
        }
        if (!skipReason.isEmpty())
            std::printf("%s\n", qPrintable(skipReason));
    }
    static void TearDownTestSuite()
    {
        capture.reset();
        server.reset();
    }

    void SetUp() override
    {
        if (!skipReason.isEmpty())
            GTEST_SKIP() << skipReason.toStdString();
    }

    double nowMs() const { return double(capture->clock().nsecsElapsed()) / 1e6; }

    /// Runs `play`; `heard` then holds what reached the sink meanwhile,
    /// `calledMs` and `returnedMs` when it was called and returned.
    void listenTo(const std::function<void()> &play)
    {
        capture->settle(nowMs());
        mark = capture->samples().size();
        calledMs = nowMs();
        play();
        returnedMs = nowMs();
        capture->settle(returnedMs + 100);
        heard = capture->samples().mid(mark);
    }
    /// What has reached the sink since listenTo() began (while it runs).
    QVector<qint16> heardSoFar() const { return capture->samples().mid(mark); }

    static inline std::unique_ptr<PulseNullSink> server;
    static inline std::unique_ptr<MonitorCapture> capture;
    static inline QString skipReason;

    QVector<qint16> heard;
    qint64 mark = 0;
    double calledMs = 0;
    double returnedMs = 0;
};
