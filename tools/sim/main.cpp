// pelmar-sim: runs the overlay scenarios and prints their tables; with --out
// it also writes one CSV per table for scripts/plot-sim.py.
#include "Scenarios.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>

namespace {

const char kUsage[] =
    "usage: pelmar-sim [--scenario join|spread|rate|churn|replay|all] [--nodes N[,N...]]\n"
    "  [--seed S] [--out DIR] [--csv FILE]\n"
    "network: [--entries E] [--join-interval MS] [--join-limit N] [--latency MIN,MAX (ms)]\n"
    "  [--jitter MEAN (ms)] [--send-cost US] [--busy-host US]\n"
    "spread:  [--queries Q] [--updates U] [--cache-share F] [--cache-updates U]\n"
    "rate:    [--rates R[,R...]] [--rate-seconds T] [--rate-posts P]\n"
    "churn:   [--churn-rates R[,R...]] [--churn-seconds T]\n"
    "replay:  --topology FILE [--node-seeds FILE]\n"
    "what a node could change alone: [--incoming-cap K] [--history-extra K]\n";

template <typename T> std::vector<T> List(const std::string& text) {
    std::vector<T> values;
    std::stringstream in(text);
    std::string item;
    while (std::getline(in, item, ','))
        values.push_back(static_cast<T>(std::strtod(item.c_str(), nullptr)));
    return values;
}

} // namespace

int main(int argc, char** argv) {
    CScenarioSettings settings;
    std::string scenario = "all", out, csv;
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "--help") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (i + 1 >= argc) {
            std::fputs(kUsage, stderr);
            return 2;
        }
        const std::string value = argv[++i];
        if (option == "--scenario")
            scenario = value;
        else if (option == "--nodes")
            settings.nodes = List<int>(value);
        else if (option == "--seed")
            settings.sim.seed = std::strtoull(value.c_str(), nullptr, 10);
        else if (option == "--entries")
            settings.entries = std::atoi(value.c_str());
        else if (option == "--queries")
            settings.queries = std::atoi(value.c_str());
        else if (option == "--updates")
            settings.updates = std::atoi(value.c_str());
        else if (option == "--cache-share")
            settings.cacheShare = std::strtod(value.c_str(), nullptr);
        else if (option == "--cache-updates")
            settings.cacheUpdates = std::atoi(value.c_str());
        else if (option == "--rate-posts")
            settings.ratePosts = std::strtod(value.c_str(), nullptr);
        else if (option == "--rates")
            settings.rates = List<double>(value);
        else if (option == "--rate-seconds")
            settings.rateSeconds = std::strtod(value.c_str(), nullptr);
        else if (option == "--churn-rates")
            settings.churnRates = List<double>(value);
        else if (option == "--churn-seconds")
            settings.churnSeconds = std::strtod(value.c_str(), nullptr);
        else if (option == "--latency") {
            const auto range = List<double>(value);
            if (range.size() != 2) {
                std::fputs(kUsage, stderr);
                return 2;
            }
            settings.sim.latency = {static_cast<CEventQueue::Micros>(range[0] * 1000),
                                    static_cast<CEventQueue::Micros>(range[1] * 1000)};
        } else if (option == "--jitter")
            settings.sim.latency.jitterMean =
                static_cast<CEventQueue::Micros>(std::strtod(value.c_str(), nullptr) * 1000);
        else if (option == "--send-cost")
            settings.sim.latency.sendCost = std::strtoull(value.c_str(), nullptr, 10);
        else if (option == "--busy-host")
            settings.sim.busyMean = std::strtoull(value.c_str(), nullptr, 10);
        else if (option == "--join-interval")
            settings.joinInterval =
                static_cast<CEventQueue::Micros>(std::strtod(value.c_str(), nullptr) * 1000);
        else if (option == "--join-limit")
            settings.joinLimit = std::atoi(value.c_str());
        else if (option == "--topology")
            settings.topology = value;
        else if (option == "--node-seeds")
            settings.nodeSeeds = value;
        else if (option == "--out")
            out = value;
        else if (option == "--csv")
            csv = value;
        else if (option == "--incoming-cap")
            settings.sim.incomingCap = std::atoi(value.c_str());
        else if (option == "--history-extra")
            settings.sim.extraHistory = std::atoi(value.c_str());
        else {
            std::fputs(kUsage, stderr);
            return 2;
        }
    }
    if (settings.nodes.empty() || (scenario == "replay" && settings.topology.empty())) {
        std::fputs(kUsage, stderr);
        return 2;
    }

    std::vector<std::pair<std::string, CResultTable>> tables;
    const bool all = scenario == "all";
    if (all || scenario == "join") {
        CResultTable degrees("Established connections per node: how many nodes have each count");
        tables.emplace_back("join", RunJoin(settings, degrees));
        tables.emplace_back("join-degrees", std::move(degrees));
    }
    if (all || scenario == "spread")
        tables.emplace_back("spread", RunSpread(settings));
    if (all || scenario == "rate")
        tables.emplace_back("rate", RunRate(settings));
    if (all || scenario == "churn")
        tables.emplace_back("churn", RunChurn(settings));
    if (scenario == "replay")
        tables.emplace_back("replay", RunReplay(settings));
    if (tables.empty()) {
        std::fputs(kUsage, stderr);
        return 2;
    }

    for (const auto& [name, table] : tables) {
        if (name != "join-degrees")
            table.Print();
        if (!out.empty() && !table.WriteCsv(out + "/" + name + ".csv"))
            std::fprintf(stderr, "pelmar-sim: cannot write %s/%s.csv\n", out.c_str(), name.c_str());
    }
    if (!csv.empty() && !tables.front().second.WriteCsv(csv))
        std::fprintf(stderr, "pelmar-sim: cannot write %s\n", csv.c_str());
    return 0;
}
