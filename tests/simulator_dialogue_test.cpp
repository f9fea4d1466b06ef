// The simulated receivers against the program's own tables and decoders: every poll request and
// start-up query of a family must get a reply that ends in one of the family's prompts and that
// the decoders read. Position, lock and sky through the whole poll cycle are family_polling_test's.
#include "app/Globals.h"
#include "receiver/CommandTables.h"
#include "receiver/ControlNotation.h"
#include "receiver/LockState.h"
#include "receiver/NumberText.h"
#include "receiver/ReplyText.h"
#include "receiver/ReplyValues.h"
#include "simulator/ReceiverSimulator.h"
#include "support/PtyPeer.h"
#include "support/WaitBounds.h"
#include "timeservice/TimeCode.h"

#include <QDateTime>
#include <QRegularExpression>
#include <gtest/gtest.h>

using sim::Family;
using sim::LockState;

namespace {

struct ProgramReply {
    QString raw;     // as collected, NUL bytes dropped
    QString trimmed; // as dispatched
    bool complete = false;
};

// Sends a request as the poll cycle does and collects the reply until the family's prompt list
// matches its end.
ProgramReply Exchange(PtyPeer& client, int family, const QString& requestText) {
    const QString request = ControlNamesToChars(requestText);
    client.write(request.toLatin1());
    ProgramReply reply;
    int matched = kNoReplyEnd;
    client.readUntil(
        [&](const QByteArray& got) {
            QByteArray bytes = got;
            reply.raw = QString::fromLatin1(bytes.replace('\0', QByteArray()));
            matched = MatchReplyEnd(reply.raw, g_ReplyPrompts[family]);
            return matched != kNoReplyEnd;
        },
        kBusyMachineWaitMs);
    reply.complete = matched != kNoReplyEnd;
    if (reply.complete)
        reply.trimmed = TrimReply(reply.raw, matched, request);
    return reply;
}

struct Receiver {
    Receiver(Family f, LockState state = LockState::Locked) : family(static_cast<int>(f)), simulator(f) {
        simulator.setLockState(state);
        started = simulator.start();
        if (started)
            client = std::make_unique<PtyPeer>(simulator.portPath());
    }
    ProgramReply Poll(int slot) { return Exchange(*client, family, g_PollCommands[family][slot]); }

    int family;
    sim::ReceiverSimulator simulator;
    bool started = false;
    std::unique_ptr<PtyPeer> client;
};

double SecondsFromNow(const SystemTime& t) {
    const QDateTime when(
        QDate(static_cast<int>(t.wYear), static_cast<int>(t.wMonth), static_cast<int>(t.wDay)),
        QTime(static_cast<int>(t.wHour), static_cast<int>(t.wMinute), static_cast<int>(t.wSecond)), Qt::UTC);
    return static_cast<double>(when.toSecsSinceEpoch() - QDateTime::currentSecsSinceEpoch());
}

bool IsValidNumber(QString text) {
    return ValidateNumber(text);
}

} // namespace

const char* const kFamilyNames[] = {"HewlettPackard", "Datum2000", "Proteus", "JacksonLabs", "Uccm"};

class TextFamilyDialogue : public ::testing::TestWithParam<Family> {};

TEST_P(TextFamilyDialogue, EveryPollRequestGetsAReplyTheDecodersRead) {
    Receiver r(GetParam());
    ASSERT_TRUE(r.started);
    for (int slot = 0; slot < kPollSlots; ++slot) {
        if (g_PollCommands[r.family][slot].isEmpty())
            continue;
        const ProgramReply reply = r.Poll(slot);
        ASSERT_TRUE(reply.complete) << "slot " << slot << ": " << qPrintable(ControlCharsToNames(reply.raw));
        const QString& answer = reply.trimmed;
        SCOPED_TRACE(
            qPrintable(QStringLiteral("slot %1: %2").arg(slot).arg(ControlCharsToNames(answer.left(200)))));
        switch (slot) {
        case 1:
            EXPECT_FALSE(TruncateAtCR(answer).isEmpty());
            break;
        case 2:
            if (r.family != RECEIVER_DATUM) { // Datum's is the position
                EXPECT_GT(answer.toLong(), 0);
            }
            break;
        case 8:
            EXPECT_TRUE(IsValidNumber(r.family == RECEIVER_DATUM ? DatumEfcValue(answer) : answer));
            break;
        case 9: {
            QString ti = TimeIntervalValue(r.family, answer);
            EXPECT_TRUE(ValidateNumber(ti));
            EXPECT_LE(std::abs(ti.toDouble()), 0.5);
            break;
        }
        case 10: // Datum's is the satellite answer
            if (r.family == RECEIVER_UCCM) {
                EXPECT_TRUE(IsValidNumber(UccmTemperatureValue(answer, QString())));
            } else if (r.family != RECEIVER_DATUM) {
                EXPECT_TRUE(IsValidNumber(LastCommaValue(answer)));
            }
            break;
        case 16:
            if (r.family == RECEIVER_UCCM)
                EXPECT_EQ(ParseTimeCode(r.family, answer.left(19), {0, 18}).outcome, TimeCodeOutcome::Ok);
            else
                EXPECT_TRUE(QRegularExpression("^\\d\\d:\\d\\d:\\d\\d$")
                                .match(TimeTextFromReply(r.family, answer))
                                .hasMatch());
            break;
        case 17: {
            const TimeCodeResult code = ParseTimeCode(r.family, answer, {0, 18});
            ASSERT_EQ(code.outcome, TimeCodeOutcome::Ok);
            EXPECT_NEAR(SecondsFromNow(code.time), 0.0, 2.0);
            break;
        }
        default:
            break;
        }
    }
}

TEST_P(TextFamilyDialogue, UnknownCommandsAndWakeUpsEndInAPrompt) {
    Receiver r(GetParam());
    ASSERT_TRUE(r.started);
    EXPECT_TRUE(Exchange(*r.client, r.family, QStringLiteral("NO:SUCH:THING?<CR>")).complete);
    EXPECT_TRUE(Exchange(*r.client, r.family, QStringLiteral("<CR>")).complete);
}

TEST_P(TextFamilyDialogue, HoldoverScreenShowsTheTimeValidOnlyForTheScpiFamilies) {
    Receiver r(GetParam(), LockState::Holdover);
    ASSERT_TRUE(r.started);
    // Datum 2000 and UCCM report the time as valid only while locked to GPS.
    const bool validInHoldover = r.family == RECEIVER_HP || r.family == RECEIVER_JACKSON;
    EXPECT_EQ(TimeValidFromStatus(r.Poll(7).trimmed, r.family), validInHoldover);
}

INSTANTIATE_TEST_SUITE_P(Families, TextFamilyDialogue,
                         ::testing::Values(Family::HewlettPackard, Family::Datum2000, Family::JacksonLabs,
                                           Family::Uccm),
                         [](const auto& info) {
                             return std::string(kFamilyNames[static_cast<int>(info.param)]);
                         });

// The leap seconds each start-up reads are checked end to end in family_polling_test.
TEST(StartUpExchange, QueriesGetTheAnswersTheProgramLooksFor) {
    Receiver jackson(Family::JacksonLabs);
    ASSERT_TRUE(jackson.started);
    // The Jackson Labs engine check: not the SAASM engine.
    EXPECT_FALSE(Exchange(*jackson.client, jackson.family, QStringLiteral("GPS:TYPE?<CR>"))
                     .raw.toUpper()
                     .contains("ROCKWELL"));
    // The channel-2 probe's first request counts.
    const QString probe = Exchange(*jackson.client, jackson.family, QStringLiteral("CSAC:TEMP?<CR>")).raw;
    EXPECT_FALSE(probe.isEmpty() || probe.toUpper().contains("ER"));

    Receiver datum(Family::Datum2000);
    ASSERT_TRUE(datum.started);
    for (const char* query : {"CVT?0", "TCO?0", "HIS?0", "ERR?0", "SAT?0", "LTR?0", "AUX?0"})
        EXPECT_TRUE(Exchange(*datum.client, datum.family, QString::fromLatin1(query) + "<CR>").complete)
            << query;
}
