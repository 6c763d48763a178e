// Macro texts and the macro list macro.dat.
#include "fuzz/check_support.h"
#include "macro/macro_list.h"
#include "macro/macro_sim.h"

#include <algorithm>

namespace kestrane::fuzz {

// The text runs for a fixed budget of ticks against far ends that keep sending, buttons, typed
// texts and input bits that keep changing and a transmit that sometimes fails. After every step
// the counter, the status and every register length are in range and the step examined no more
// than a few passes over the text; a stop ends the run whatever it waited for.
std::string checkMacroText(Bytes data)
{
    constexpr std::int64_t kBudgetTicks = 150;
    constexpr std::int64_t kWorkBound = 4 * static_cast<std::int64_t>(kMacroTextSize) + 2 * kMacroLiteralMax + 64;

    MacroSimulation sim;
    sim.tickMs = 10;
    sim.settings.bufferSize = 200;  // the smallest buffer: far ends that keep sending overflow it
    sim.settings.checksumLowerCase = data.empty() ? 0 : data[0] & 1;
    sim.settings.checksumMethod = data.size() < 2 ? 0 : data[1] % 3;
    if (data.size() > 2 && data[2] % 5 == 0)
        sim.failTransmit(1 + data[2] % 2, static_cast<TransmitResult>(1 + data[2] % 3));
    for (std::int64_t t = 7; t < kBudgetTicks * sim.tickMs; t += 23) {
        sim.receiveAt(t, 1, std::vector<std::uint8_t>(static_cast<std::size_t>(1 + t % 90), static_cast<std::uint8_t>(t)));
        if (t % 3 == 0)
            sim.receiveAt(t, 2, {'O', 'K', 0x0D});
        if (t % 5 == 0)
            sim.pressAt(t, static_cast<int>(t % 8));
        if (t % 7 == 0)
            sim.inputAt(t, std::string(static_cast<std::size_t>(t % 70), 'a'), "0123");
        sim.inputBitAt(t, static_cast<int>(t % 3), static_cast<int>(t % 8), t % 2 == 0);
    }
    sim.load(data);

    const MacroMemory& m = sim.memory();
    MacroInterpreter& interp = sim.interpreter();
    std::string broken;
    sim.afterStep = [&] {
        if (m.pc < 0 || m.pc > kMacroTextSize)
            broken = "the step counter left the text area";
        else if (m.busy != 0)
            broken = "a step left the busy flag set";
        else if (m.status < MacroStatus::Finished || m.status > MacroStatus::WaitText)
            broken = "an unknown status";
        else if (m.status == MacroStatus::Finished && interp.running())
            broken = "finished but still running";
        else if (interp.lastStepWork() > kWorkBound)
            broken = "a step examined more than a few passes over the text";
        else if (sim.sendState().sendBuffer.count < 0 ||
                 sim.sendState().sendBuffer.count > static_cast<std::int32_t>(SendBuffer::kCapacity))
            broken = "the send buffer count left its 520 bytes";
        for (const MacroRegister& r : m.registers)
            if (r.length < 0 || r.length > kMacroRegisterSize)
                broken = "a register length outside 0..520";
        return broken.empty();
    };
    sim.start();
    sim.run(kBudgetTicks);
    KCHECK(!sim.violated(), broken);
    KCHECK(sim.ticks() <= kBudgetTicks, "the run went past its tick budget");
    for (int ch : {1, 2})
        for (const auto& frame : sim.frames(ch))
            KCHECK(frame.size() <= SendBuffer::kCapacity, "a frame longer than the send buffer");
    interp.stop();
    sim.advance(100);
    KCHECK(!interp.running() && m.status == MacroStatus::Finished, "a stop did not end the run");
    KCHECK(!sim.violated(), broken);
    return {};
}

// macro.dat read as the dialog reads it: the table written back is exactly the first 5120 bytes
// (zero-padded when shorter); the list shows the in-use entries in order, each path within its
// 256 bytes; removing and adding keep the table consistent.
std::string checkMacroDat(Bytes data)
{
    MacroFileList list;
    list.parse(data);
    const auto back = list.image();
    for (std::size_t i = 0; i < MacroFileList::kFileSize; ++i)
        KCHECK(back[i] == (i < data.size() ? data[i] : 0), "the table does not write back byte for byte");

    const auto shown = list.shownPaths();
    std::size_t inUse = 0;
    for (const MacroListEntry& e : list.entries()) {
        if (e.inUse == 0)
            continue;
        KCHECK(inUse < shown.size() && shown[inUse] == e.pathText(), "the list differs from the entries in use");
        KCHECK(shown[inUse].size() <= MacroListEntry::kPathSize, "a path longer than its entry");
        ++inUse;
    }
    KCHECK(inUse == shown.size(), "the list shows entries not in use");

    if (!shown.empty()) {
        MacroFileList less = list;
        less.removeShown(0);
        const auto after = less.shownPaths();
        KCHECK(after.size() + 1 == shown.size() && std::equal(after.begin(), after.end(), shown.begin() + 1),
               "removing the first entry did not move the others up");
        KCHECK(less.entries().back().inUse == 0, "the last entry is not cleared after a removal");
    }
    const std::string path(reinterpret_cast<const char*>(data.data()), std::min<std::size_t>(data.size(), 40));
    MacroFileList more = list;
    const MacroListAdd result = more.add(path);
    const auto afterAdd = more.shownPaths();
    if (result == MacroListAdd::Added)
        KCHECK(afterAdd.size() == shown.size() + 1 && std::count(afterAdd.begin(), afterAdd.end(), path) == 1,
               "an added path is not listed once");
    else
        KCHECK(afterAdd == shown, "a refused path changed the list");
    return {};
}

} // namespace kestrane::fuzz
