#include "trigger_plugins/random/seeded_random_module.h"

#include <array>

#include "host_protocol/pin_properties.h"
#include "trigger_plugins/random/random_generator.h"
#include "trigger_plugins/random/random_pins.h"
#include "trigger_plugins/random/time_seed.h"

namespace kesh_rnd {

using host_protocol::HostOpcode;
using host_protocol::PinDataType;
using host_protocol::PinDirection;
using host_protocol::PinStatus;

namespace {

constexpr const char* kName = "Kesh-Rnd";
constexpr const char* kAbout =
    "Seeded Random Generator v1.2\n"
    "Made for the Dalt/Kesh module set\n"
    "Contact: the Dalt/Kesh project's issue tracker";

struct PinDescription {
    const char* name;
    PinDirection direction;
    PinDataType dataType;
    const char* defaultValue;
    const char* listText;
};

// Defaults and the range text are in volts, as the host shows them.
constexpr std::array<PinDescription, kRandomPinCount> kPins = {{
    {"Gate", PinDirection::Input, PinDataType::Stream, "0", nullptr},
    {"Level", PinDirection::Input, PinDataType::Stream, "10", nullptr},
    {"Output", PinDirection::Output, PinDataType::Stream, nullptr, nullptr},
    {"Seed", PinDirection::Input, PinDataType::Stream, "0", "10000,0,10000,0"},
    {"Plant", PinDirection::Input, PinDataType::Stream, "0", nullptr},
}};
static_assert(kPins.size() == static_cast<size_t>(kRandomPinCount));

constexpr int32_t index(RandomPin pin) {
    return static_cast<int32_t>(pin);
}

constexpr bool isStreaming(int32_t status) {
    return status > static_cast<int32_t>(PinStatus::OneShot);
}

}  // namespace

SeededRandomModule::SeededRandomModule(host_protocol::HostCallback callback)
    : ModuleBase(callback) {
    setProcessFunction(&SeededRandomModule::processSamples);
}

bool SeededRandomModule::getModuleProperties(ModuleProperties* props) {
    props->name = kName;
    props->id = kName;
    props->about = kAbout;
    return true;
}

bool SeededRandomModule::getPinProperties(int32_t pinIndex, PinProperties* props) {
    const std::array<void*, kRandomPinCount> variables = {&gate, &level, &output, &seed, &plant};
    if (pinIndex < 0 || pinIndex >= kRandomPinCount) {
        return false;
    }
    const PinDescription& pin = kPins[static_cast<size_t>(pinIndex)];
    props->variable = variables[static_cast<size_t>(pinIndex)];
    props->direction = static_cast<int32_t>(pin.direction);
    props->dataType = static_cast<int32_t>(pin.dataType);
    props->name = pin.name;
    props->defaultValue = pin.defaultValue;
    props->listText = pin.listText;
    return true;
}

void SeededRandomModule::open() {
    ModuleBase::open();
    heldValue = 0.0f;
    previousGate = 0.0f;
    seedPending = true;
    clockSeed = millisecondsSinceLoad();
    // A pin table that could not be allocated leaves no pin to report on.
    if (Pin* outputPin = getPin(index(RandomPin::Output))) {
        outputPin->transmitStatus(sampleClock(), PinStatus::OneShot);
    }
}

void SeededRandomModule::pinChanged(Pin*) {
    int32_t status = getPin(index(RandomPin::Gate))->getStatus();
    if (!(getPin(index(RandomPin::Level))->currentSample() > 0.0f)) {
        status = static_cast<int32_t>(PinStatus::OneShot);
    }
    getPin(index(RandomPin::Output))->transmitStatus(sampleClock(), status);
    if (isStreaming(status)) {
        setProcessFunction(&SeededRandomModule::processSamples);
    } else {
        sleepCountdown.start(getBlockSize());
        setProcessFunction(&SeededRandomModule::processUntilSleep);
    }
}

void SeededRandomModule::seedFromSample(float seedSample) {
    randomState = isSeedGiven(seedSample) ? seedStateFromSample(seedSample) : clockSeed;
    seedPending = false;
}

void SeededRandomModule::processSamples(int32_t start, int32_t count) {
    if (gate == nullptr || level == nullptr || output == nullptr || seed == nullptr ||
        plant == nullptr) {
        return;  // no buffers yet: the host has not connected the streams
    }
    if (seedPending) {
        seedFromSample(seed[start]);
    }

    uint32_t state = randomState;
    float held = heldValue;
    float lastGate = previousGate;
    float lastPlant = previousPlant;
    const int32_t end = start + count;
    for (int32_t i = start; i < end; ++i) {
        const float plantSample = plant[i];
        const float gateSample = gate[i];
        if (plantSample > 0.0f && !(lastPlant > 0.0f) && isSeedGiven(seed[i])) {
            state = seedStateFromSample(seed[i]);
        }
        if (gateSample > 0.0f && !(lastGate > 0.0f)) {
            state = nextState(state);
            held = heldValueOf(state);
        }
        output[i] = held * level[i];
        lastGate = gateSample;
        lastPlant = plantSample;
    }
    randomState = state;
    heldValue = held;
    previousGate = lastGate;
    previousPlant = lastPlant;
}

void SeededRandomModule::processUntilSleep(int32_t start, int32_t count) {
    processSamples(start, count);
    if (sleepCountdown.countDown(count) && !eventsPending()) {
        callHost(HostOpcode::SleepRequest);
    }
}

}  // namespace kesh_rnd
