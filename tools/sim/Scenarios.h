// The simulator's scenarios. Each builds its networks from a fixed seed with
// the node's own joining rules, runs its messages and returns its rows.
// Simulator thread.
#pragma once

#include "ResultTable.h"
#include "SimNetwork.h"

#include <string>
#include <vector>

struct CScenarioSettings {
    CSimOptions sim;
    std::vector<int> nodes{100, 1000, 10000};
    int entries = 3; // entry points
    // Networks of more nodes than this are wired instead of joined: every
    // join floods a ping over the whole network, so joining by the rules
    // costs about N^2 messages (see BuildWired).
    int joinLimit = 2000;
    CEventQueue::Micros joinInterval = 50 * CEventQueue::kMillisecond;
    CEventQueue::Micros settle = 30 * CEventQueue::kSecond; // after the last join
    CEventQueue::Micros spacing = 3 * CEventQueue::kSecond; // between followed messages
    int queries = 100;
    int updates = 100;
    double cacheShare = 0.1; // of the nodes, in the update scenario's second run
    int cacheUpdates = 10;   // updates with cache servents (each sets off many queries)
    std::vector<double> rates{300, 1000, 3000, 10000}; // updates per second
    double rateSeconds = 1;                            // of steady posting, at least
    double ratePosts = 3000;                           // posts per rate, at least
    // A rate's run stops when this many events are in flight (about 100
    // bytes each).
    std::size_t maxPending = 8'000'000;
    std::vector<double> churnRates{0.1, 1, 10}; // leaves (and joins) per second
    double churnSeconds = 60;
    std::string topology;  // replay: "i j" lines, one per connection i opened to j
    std::string nodeSeeds; // replay: "i seed" lines, the seed of node i's draws
    std::string scratchDir = "/tmp";
};

CResultTable RunJoin(const CScenarioSettings& settings, CResultTable& degrees);
// Queries, then updates, then updates with cache servents, on one network.
CResultTable RunSpread(const CScenarioSettings& settings);
CResultTable RunRate(const CScenarioSettings& settings);
CResultTable RunChurn(const CScenarioSettings& settings);

// The 64-node check: the given connections, updates sent into node 0 from
// one more servent, as the benchmark against real nodes does.
CResultTable RunReplay(const CScenarioSettings& settings);
