// Starting a program with one argument, waiting for it, passing signals on.
#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <thread>

#include "package/child_process.h"
#include "package/package_builder.h"
#include "package/scratch_folder.h"
#include "platform/kernel/process.h"

namespace {

using namespace tarn::test;

TEST(RunProgram, TheArgumentArrivesWholeAndAloneAndTheExitIsReported) {
    ScratchFolder scratch;
    const std::string log = scratch.outside() + "/log";
    setenv("TARN_TEST_PLAYER_LOG", log.c_str(), 1);
    setenv("TARN_TEST_PLAYER_MODE", "exit", 1);
#ifdef _WIN32
    // Windows file names hold no quotes, and a path with spaces reaches the
    // player in another form (tested with the launch command).
    const std::string argument = scratch.outside() + "\\show.ini";
#else
    const std::string argument = scratch.outside() + "/a show with  spaces \"quoted\".ini";
#endif
    const tarn::ProgramEnd end = tarn::RunProgram(TARN_TEST_PLAYER, argument.c_str());
    EXPECT_TRUE(end.started);
    EXPECT_TRUE(end.exited);
    EXPECT_EQ(end.exitCode, 0);
    auto values = ReadLog(log);
    EXPECT_EQ(values["argc"], "2");
    EXPECT_EQ(values["argv1"], argument);
    EXPECT_EQ(values["argv0"], TARN_TEST_PLAYER);
}

TEST(RunProgram, ExitCodesAndDeathsAreToldApart) {
#ifndef _WIN32
    const tarn::ProgramEnd failed = tarn::RunProgram("/bin/false", "x");
    EXPECT_TRUE(failed.started);
    EXPECT_TRUE(failed.exited);
    EXPECT_EQ(failed.exitCode, 1);
#endif

    ScratchFolder scratch;
    setenv("TARN_TEST_PLAYER_LOG", (scratch.outside() + "/log").c_str(), 1);
    setenv("TARN_TEST_PLAYER_MODE", "crash", 1);
    const tarn::ProgramEnd crashed = tarn::RunProgram(TARN_TEST_PLAYER, "show.ini");
    EXPECT_TRUE(crashed.started);
#ifdef _WIN32
    // Windows has no signals: an aborted program ends with a code of its own.
    EXPECT_TRUE(crashed.exited);
    EXPECT_NE(crashed.exitCode, 0);
#else
    EXPECT_FALSE(crashed.exited);
    EXPECT_EQ(crashed.signal, SIGABRT);
#endif
}

TEST(RunProgram, WhatCannotStartIsReportedAsNotStarted) {
    ScratchFolder scratch;
    const tarn::ProgramEnd absent = tarn::RunProgram((scratch.outside() + "/absent").c_str(), "x");
    EXPECT_FALSE(absent.started);
    const std::string text = scratch.outside() + "/text";
    WriteBytes(text, "no program\n");
    chmod(text.c_str(), 0700);
    EXPECT_FALSE(tarn::RunProgram(text.c_str(), "x").started);
#ifndef _WIN32
    // Why, for the line a package says when its player does not start.
    EXPECT_EQ(absent.error, ENOENT);
    const std::string notRunnable = scratch.outside() + "/not-runnable";
    WriteBytes(notRunnable, "#!/bin/sh\n");
    chmod(notRunnable.c_str(), 0600);
    EXPECT_EQ(tarn::RunProgram(notRunnable.c_str(), "x").error, EACCES);
#endif
    EXPECT_FALSE(tarn::RunProgram(scratch.outside().c_str(), "x").started) << "a folder";
}

// The started program's environment can carry one more variable; the
// caller hears of the start before the wait.
TEST(RunProgram, TheStartIsReportedAndAnExtraVariableReplacesItsNamesake) {
    ScratchFolder scratch;
    const std::string log = scratch.outside() + "/log";
    setenv("TARN_TEST_PLAYER_LOG", log.c_str(), 1);
    setenv("TARN_TEST_PLAYER_MODE", "exit", 1);
    setenv("TARN_TEST_EXTRA", "old", 1);
    int starts = 0;
    tarn::ProgramStart start;
    start.extraVariable = "TARN_TEST_EXTRA=new";
    start.started = [&] { ++starts; };
    const std::string argument = scratch.outside() + "/show.ini";
    EXPECT_TRUE(tarn::RunProgram(TARN_TEST_PLAYER, argument.c_str(), start).started);
    EXPECT_EQ(starts, 1);
#ifndef _WIN32
    // A Windows player is never handed a variable.
    EXPECT_EQ(ReadLog(log)["extra"], "new");
#endif
    EXPECT_STREQ(std::getenv("TARN_TEST_EXTRA"), "old") << "the caller's own environment stays";
    unsetenv("TARN_TEST_EXTRA");

    EXPECT_FALSE(tarn::RunProgram((scratch.outside() + "/absent").c_str(), "x", start).started);
    EXPECT_EQ(starts, 1) << "what did not start is not reported as started";
}

#ifndef _WIN32
// Termination signals are POSIX: Windows' console events reach every
// program of the console by themselves.
TEST(RunProgram, ACaughtSignalIsPassedOnToTheProgram) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            ScratchFolder scratch;
            const std::string log = scratch.outside() + "/log";
            setenv("TARN_TEST_PLAYER_LOG", log.c_str(), 1);
            setenv("TARN_TEST_PLAYER_MODE", "wait", 1);
            tarn::CatchTerminationSignals();
            std::thread sender([&] {
                if (WaitForFile(log)) kill(getpid(), SIGTERM);
            });
            const tarn::ProgramEnd end = tarn::RunProgram(TARN_TEST_PLAYER, "show.ini");
            sender.join();
            std::_Exit(end.started && !end.exited && end.signal == SIGTERM &&
                               tarn::TerminationSignalCaught() == SIGTERM
                           ? 0
                           : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST(RunProgram, ASignalCaughtBeforeTheStartReachesTheProgramAtOnce) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            ScratchFolder scratch;
            setenv("TARN_TEST_PLAYER_LOG", (scratch.outside() + "/log").c_str(), 1);
            setenv("TARN_TEST_PLAYER_MODE", "wait", 1);
            tarn::CatchTerminationSignals();
            std::raise(SIGHUP);
            const tarn::ProgramEnd end = tarn::RunProgram(TARN_TEST_PLAYER, "show.ini");
            std::_Exit(end.started && end.signal == SIGHUP ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST(RunProgram, ASignalIgnoredByWhoeverStartedUsStaysIgnored) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            std::signal(SIGHUP, SIG_IGN);
            tarn::CatchTerminationSignals();
            std::raise(SIGHUP);
            std::_Exit(tarn::TerminationSignalCaught() == 0 ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}
#endif

}  // namespace
