// Which channels a block processes and which outputs it writes. A host that
// passes one buffer twice, or leaves a pin unconnected, gets the left (or the
// only connected) channel processed and copied to both results.
#pragma once

enum class Results {
    kIndependent,  // left result from the left channel, right from the right
    kLeftToBoth,
    kRightToBoth,
};

struct Routing {
    bool processLeft = true;
    bool processRight = true;
    Results results = Results::kIndependent;
    bool writeLeft = true;
    bool writeRight = true;
};

enum class Pin { kInput, kOutput };

/// The routing for a block's buffers. `connected(pin, index)` answers whether
/// a pin is connected; it is asked in a fixed order (inputs right then left,
/// outputs left then right, each pair again when its answers differ), only
/// where the buffers leave the choice open. A missing buffer is neither
/// processed nor written.
template <typename Connected>
Routing routeBlock(const float* const* inputs, float* const* outputs, Connected&& connected) {
    Routing routing;
    if (inputs[0] == inputs[1]) {
        routing.processRight = false;
        routing.results = Results::kLeftToBoth;
    } else {
        const bool right = connected(Pin::kInput, 1);
        const bool left = connected(Pin::kInput, 0);
        if (left != right) {
            routing.processLeft = connected(Pin::kInput, 0);
            routing.processRight = connected(Pin::kInput, 1);
            routing.results = routing.processLeft ? Results::kLeftToBoth : Results::kRightToBoth;
        }
    }

    if (outputs[0] == outputs[1]) {
        routing.writeRight = false;
    } else {
        const bool left = connected(Pin::kOutput, 0);
        const bool right = connected(Pin::kOutput, 1);
        if (left != right) {
            routing.writeLeft = connected(Pin::kOutput, 0);
            routing.writeRight = connected(Pin::kOutput, 1);
        }
    }

    routing.processLeft = routing.processLeft && inputs[0];
    routing.processRight = routing.processRight && inputs[1];
    routing.writeLeft = routing.writeLeft && outputs[0];
    routing.writeRight = routing.writeRight && outputs[1];
    return routing;
}
