// orvane-sim: a simulated receiver on a pseudo-terminal, reachable through a symlink, until
// SIGINT or SIGTERM.
#include "simulator/ReceiverSimulator.h"

#include <QByteArray>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct FamilyName {
    const char* name;
    sim::Family family;
};

constexpr FamilyName kFamilies[] = {
    {"hp", sim::Family::HewlettPackard}, {"datum", sim::Family::Datum2000},
    {"proteus", sim::Family::Proteus},   {"jackson", sim::Family::JacksonLabs},
    {"uccm", sim::Family::Uccm},
};

struct MisbehaviourName {
    const char* name;
    sim::Misbehaviour misbehaviour;
};

constexpr MisbehaviourName kMisbehaviours[] = {
    {"none", sim::Misbehaviour::None},         {"silence", sim::Misbehaviour::Silence},
    {"garbage", sim::Misbehaviour::Garbage},   {"partial", sim::Misbehaviour::Partial},
    {"slow", sim::Misbehaviour::Slow},         {"nul", sim::Misbehaviour::NulBytes},
    {"overlong", sim::Misbehaviour::Overlong}, {"endless", sim::Misbehaviour::Endless},
    {"vanish", sim::Misbehaviour::Vanish},
};

int Usage() {
    std::fprintf(
        stderr,
        "usage: orvane-sim --family jackson|hp|datum|uccm|proteus [--link PATH]\n"
        "                  [--state locked|holdover|unlocked|cycle]\n"
        "                  [--misbehave none|silence|garbage|partial|slow|nul|overlong|endless|vanish]\n"
        "  --misbehave MODE  answers every request in that faulty way: no answer, random bytes,\n"
        "                    cut before the prompt, trickled out slowly, with NUL bytes, far too\n"
        "                    long, streaming for ever, or hanging up the line mid-answer\n");
    return 2;
}

// Replaces a symlink left by an earlier run, but never a file of any other kind.
bool MakeLink(const std::string& target, const std::string& link) {
    struct stat info {};
    if (lstat(link.c_str(), &info) == 0) {
        if (!S_ISLNK(info.st_mode)) {
            std::fprintf(stderr, "orvane-sim: %s exists and is not a symlink\n", link.c_str());
            return false;
        }
        ::unlink(link.c_str());
    }
    if (::symlink(target.c_str(), link.c_str()) != 0) {
        std::fprintf(stderr, "orvane-sim: cannot create %s: %s\n", link.c_str(), std::strerror(errno));
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    const char* familyName = nullptr;
    std::string link;
    std::string state = "locked";
    std::string misbehaviourName = "none";
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (i + 1 >= argc)
            return Usage();
        if (arg == "--family")
            familyName = argv[++i];
        else if (arg == "--link")
            link = argv[++i];
        else if (arg == "--state")
            state = argv[++i];
        else if (arg == "--misbehave")
            misbehaviourName = argv[++i];
        else
            return Usage();
    }
    if (!familyName)
        return Usage();
    const FamilyName* chosen = nullptr;
    for (const FamilyName& f : kFamilies) {
        if (std::strcmp(f.name, familyName) == 0)
            chosen = &f;
    }
    if (!chosen)
        return Usage();
    const MisbehaviourName* misbehaviour = nullptr;
    for (const MisbehaviourName& m : kMisbehaviours) {
        if (misbehaviourName == m.name)
            misbehaviour = &m;
    }
    if (!misbehaviour)
        return Usage();
    if (link.empty())
        link = std::string("/tmp/orvane-sim-") + chosen->name;

    // The signals are taken by sigwait below, so they must be blocked before any thread starts.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    sim::ReceiverSimulator simulator(chosen->family);
    if (state == "holdover")
        simulator.setLockState(sim::LockState::Holdover);
    else if (state == "unlocked")
        simulator.setLockState(sim::LockState::Unlocked);
    else if (state == "cycle")
        simulator.setLockCycle(true);
    else if (state != "locked")
        return Usage();
    simulator.setMisbehaviour(misbehaviour->misbehaviour);
    if (!simulator.start()) {
        std::fprintf(stderr, "orvane-sim: cannot simulate the %s family on a pseudo-terminal\n",
                     chosen->name);
        return 1;
    }
    const std::string target = simulator.portPath().toStdString();
    if (!MakeLink(target, link))
        return 1;
    std::printf("%s\n", link.c_str());
    std::fflush(stdout);

    int signal = 0;
    sigwait(&stopSignals, &signal);
    simulator.stop();
    char pointsTo[256] = {};
    if (::readlink(link.c_str(), pointsTo, sizeof pointsTo - 1) > 0 && target == pointsTo)
        ::unlink(link.c_str());
    return 0;
}
