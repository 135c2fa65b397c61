#pragma once
// The per-voice modulation matrix: a fixed list of routes, each carrying a
// control signal (an envelope or an LFO) into a modulation input of another
// module, scaled by the square of the route's depth parameter.

#include "dsp/Module.h"

#include <string>
#include <utility>
#include <vector>

namespace Vorn {

struct ModRoute {
    std::string name;         // the depth parameter is the matrix name + this
    const Module* source;     // null: a constant signal of 1
    float* destination;       // a modulation input of kSubBlock floats
    float* secondDestination; // may be null
    const float* depth;       // live depth value; null until registerDepths()
    const Module* scaler;     // null: a factor of 1
    float scale;              // fixed multiplier of the route
};

class ModMatrix : public Module {
public:
    ModMatrix(Effect* owner, const char* name);

    int format(const float* param, float value, char* text, std::size_t size) override;
    void process(int sampleRate, int count) override;

    // Appends a route; its depth parameter is created by registerDepths().
    void addRoute(const char* routeName, Module* source, Module* scaler, float scale, float* destination,
                  float* secondDestination);
    // Registers one depth parameter per route, in route order. Called once,
    // after the last addRoute and after the voice's other modules registered
    // theirs, so that the depths follow them in the host's list.
    void registerDepths();

    const std::vector<ModRoute>& routes() const { return routes_; }

    // For a voice whose modules read every modulation input at the middle
    // sample of the sub-block only (count / 2): the matrix then computes
    // that sample alone, with the same operations, and leaves the other
    // samples of every destination as they were.
    void setMiddleOnly(bool middleOnly);

private:
    // What process() needs of a route, packed together: the routes
    // themselves are large and carry their names.
    struct Tap {
        const float* depth;
        const float* source; // output of the source module; null: a constant 1
        const float* scaler; // output of the scaler module; null: a factor of 1
        float scale;
        float* first;
        float* second;   // may be null
        int firstTarget; // indices in destinations_ (-1: none)
        int secondTarget;
    };

    void processMiddle(int count);

    // Index of the destination in destinations_, added if new; -1 for none.
    int addDestination(float* destination);

    std::vector<ModRoute> routes_;
    // Every destination once, in the order routes first name them: routes
    // share destinations, and one clear each is enough.
    std::vector<float*> destinations_;
    // One per route whose depth is registered, in route order.
    std::vector<Tap> taps_;
    // Per route, the indices of its destinations in destinations_ (-1: none).
    std::vector<std::pair<int, int>> routeTargets_;
    // Per destination: how many leading samples may hold anything but
    // zeros. A destination no route wrote since it was last cleared is all
    // zeros there and needs no clearing.
    std::vector<int> dirty_;
    bool middleOnly_ = false;
};

} // namespace Vorn
