// The scenarios: joining, queries, updates, a steady rate of posts, churn and
// the replay of real nodes' connections.
#include "Scenarios.h"

#include "protocol/MessageHistory.h"
#include "store/ThreadRecord.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <numeric>

namespace {

using Micros = CEventQueue::Micros;
constexpr Micros kSecond = CEventQueue::kSecond;
const std::string kCategory = "sim";

std::string Text(double value, int decimals = 2) {
    return CResultTable::Number(value, decimals);
}
std::string Text(std::uint64_t value) {
    return std::to_string(value);
}

void Progress(const char* what, int nodes) {
    static const auto start = std::chrono::steady_clock::now();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::fprintf(stderr, "[%7.1f s] %s, %d nodes\n", seconds, what, nodes);
}

CBinaryId DrawId(std::mt19937_64& random) {
    std::uint8_t bytes[16];
    for (std::uint8_t& byte : bytes)
        byte = static_cast<std::uint8_t>(random());
    return CBinaryId::FromBytes(bytes);
}

// Adds the nodes; nodes 0..entries-1 are entry points joined in a chain.
// Returns the number of entry points.
int AddNodesAndEntries(CSimNetwork& net, int nodes, const CScenarioSettings& settings) {
    const int entries = std::min(settings.entries, nodes);
    for (int i = 0; i < nodes; ++i)
        net.AddNode();
    for (int i = 1; i < entries; ++i)
        net.Node(i)->ConnectTo(i - 1);
    return entries;
}

// Every node after the entry points starts one join interval after the one
// before and connects to one entry point drawn at random. The node's own
// rules do the rest: a ping after the handshake, a connect for each pong
// while fewer than four are up.
void BuildByJoining(CSimNetwork& net, int nodes, const CScenarioSettings& settings) {
    const int entries = AddNodesAndEntries(net, nodes, settings);
    for (int i = entries; i < nodes; ++i) {
        const auto entry = static_cast<NodeId>(net.Random()() % entries);
        net.Clock().At(static_cast<Micros>(i) * settings.joinInterval,
                       [&net, i, entry] { net.Node(i)->ConnectTo(entry); });
    }
    net.Clock().RunUntil(static_cast<Micros>(nodes) * settings.joinInterval + settings.settle);
}

// The shape joining gives (one connection to an entry point, three to nodes
// the pongs named), made without the pings: each newcomer is connected to by
// one entry point and three earlier nodes drawn at random. The connecting
// side already holds its connections, so no ping is sent.
void BuildWired(CSimNetwork& net, int nodes, const CScenarioSettings& settings) {
    const int entries = AddNodesAndEntries(net, nodes, settings);
    for (int i = entries; i < nodes; ++i) {
        std::vector<NodeId> from{static_cast<NodeId>(net.Random()() % entries)};
        while (static_cast<int>(from.size()) < std::min(4, i)) {
            const auto pick = static_cast<NodeId>(net.Random()() % i);
            if (std::find(from.begin(), from.end(), pick) == from.end())
                from.push_back(pick);
        }
        net.Clock().At(static_cast<Micros>(i) * settings.joinInterval / 10, [&net, i, from] {
            for (NodeId f : from)
                net.Node(f)->ConnectTo(i);
        });
    }
    net.Clock().RunUntil(static_cast<Micros>(nodes) * settings.joinInterval / 10 + settings.settle);
}

// Joined by the rules while that is affordable, else wired.
const char* Build(CSimNetwork& net, int nodes, const CScenarioSettings& settings) {
    if (nodes > settings.joinLimit) {
        BuildWired(net, nodes, settings);
        return "wired";
    }
    BuildByJoining(net, nodes, settings);
    return "joined";
}

struct Spread {
    double reachPct = 0;
    double copiesPerReached = 0;
    double duplicatesPerReached = 0;
    int mostCopies = 0;
};

// Reach among `population`; the origin counts as reached and its echoes are
// not counted as copies.
Spread Measure(const CFollowed& followed, const std::vector<NodeId>& population, NodeId origin) {
    Spread spread;
    std::uint64_t reached = 0, copies = 0;
    bool originCounted = false;
    for (NodeId id : population) {
        if (id == origin) {
            ++reached;
            originCounted = true;
            continue;
        }
        const int c = id < followed.copies.size() ? followed.copies[id] : 0;
        if (c == 0)
            continue;
        ++reached;
        copies += c;
        spread.mostCopies = std::max(spread.mostCopies, c);
    }
    const std::uint64_t receivers = reached - (originCounted ? 1 : 0);
    spread.reachPct = population.empty() ? 0 : 100.0 * reached / population.size();
    if (receivers > 0) {
        spread.copiesPerReached = static_cast<double>(copies) / receivers;
        spread.duplicatesPerReached = spread.copiesPerReached - 1;
    }
    return spread;
}

struct Summary {
    std::vector<double> reach, copies, duplicates, messages;
    int mostCopies = 0;
    void Add(const Spread& spread, double messagesPerNode) {
        reach.push_back(spread.reachPct);
        copies.push_back(spread.copiesPerReached);
        duplicates.push_back(spread.duplicatesPerReached);
        messages.push_back(messagesPerNode);
        mostCopies = std::max(mostCopies, spread.mostCopies);
    }
    static double Mean(const std::vector<double>& v) {
        return v.empty() ? 0 : std::accumulate(v.begin(), v.end(), 0.0) / v.size();
    }
    static double Min(const std::vector<double>& v) {
        return v.empty() ? 0 : *std::min_element(v.begin(), v.end());
    }
    int FullReach() const {
        return static_cast<int>(
            std::count_if(reach.begin(), reach.end(), [](double r) { return r >= 100.0; }));
    }
};

// A new thread of the category in the store at root; returns its id.
CBinaryId AddThread(const std::string& root, std::mt19937_64& random) {
    CThreadRecord record(DrawId(random), "sim thread", kCategory, "sim", "", "body", DrawId(random),
                         CBinaryId(), CSimNode::kEpoch, CSimNode::kEpoch);
    record.Create(root, nullptr);
    return record.GetThreadId();
}

// Threads of the category held by the nodes given this root, so that
// queries are answered and routed back.
std::string MakeHolderStore(const CScenarioSettings& settings, std::mt19937_64& random,
                            int threads) {
    const std::string dir =
        settings.scratchDir + "/pelmar-sim-store-" + std::to_string(settings.sim.seed) + "/";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    const std::string root = dir + "thread/";
    for (int t = 0; t < threads; ++t)
        AddThread(root, random);
    return root;
}

CResultTable::Row SpreadRow(int nodes, const char* network, const char* variant, const Summary& s,
                            int count) {
    return {{"nodes", std::to_string(nodes)},
            {"network", network},
            {"variant", variant},
            {"messages", std::to_string(count)},
            {"reach_mean_pct", Text(Summary::Mean(s.reach))},
            {"reach_min_pct", Text(Summary::Min(s.reach))},
            {"full_reach", std::to_string(s.FullReach())},
            {"sent_per_node", Text(Summary::Mean(s.messages))},
            {"copies_per_reached_node", Text(Summary::Mean(s.copies))},
            {"duplicates_per_reached_node", Text(Summary::Mean(s.duplicates))},
            {"most_copies_at_one_node", std::to_string(s.mostCopies)}};
}

double Percentile(std::vector<int> values, double share) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, static_cast<std::size_t>(share * values.size()))];
}

} // namespace

CResultTable RunJoin(const CScenarioSettings& settings, CResultTable& histogram) {
    CResultTable table("Joining through " + std::to_string(settings.entries) +
                       " entry points: established connections per node");
    for (int n : settings.nodes) {
        Progress("join", n);
        CSimNetwork net(settings.sim);
        const char* network = Build(net, n, settings);
        const std::vector<int> degrees = net.Degrees();
        const auto hub = std::max_element(degrees.begin(), degrees.end());
        const long links = std::accumulate(degrees.begin(), degrees.end(), 0L) / 2;
        const auto below =
            std::count_if(degrees.begin(), degrees.end(), [](int d) { return d < 4; });
        table.Add({{"nodes", std::to_string(n)},
                   {"network", network},
                   {"connections", std::to_string(links)},
                   {"median", Text(Percentile(degrees, 0.5), 0)},
                   {"mean", Text(static_cast<double>(2 * links) / n)},
                   {"p99", Text(Percentile(degrees, 0.99), 0)},
                   {"largest_hub", std::to_string(*hub)},
                   {"hub_node", std::to_string(hub - degrees.begin())},
                   {"below_target", std::to_string(below)},
                   {"pings_per_node", Text(static_cast<double>(net.DeliveredOfType(0x00)) / n)},
                   {"pongs_per_node", Text(static_cast<double>(net.DeliveredOfType(0x01)) / n)}});
        std::vector<int> counts(*hub + 1, 0);
        for (int d : degrees)
            ++counts[d];
        for (int d = 0; d <= *hub; ++d)
            if (counts[d])
                histogram.Add({{"nodes", std::to_string(n)},
                               {"connections", std::to_string(d)},
                               {"count", std::to_string(counts[d])}});
    }
    return table;
}

CResultTable RunRate(const CScenarioSettings& settings) {
    CResultTable table("A steady rate of posts: repeats the 1,000-id history no longer knew");
    for (int n : settings.nodes) {
        // One network for every rate, the lowest first.
        CSimNetwork net(settings.sim);
        Build(net, n, settings);
        net.SetLeakCheck(true);
        const std::vector<int> degrees = net.Degrees();
        const double links = std::accumulate(degrees.begin(), degrees.end(), 0.0) / 2;
        for (double rate : settings.rates) {
            Progress(("rate " + Text(rate, 0) + "/s").c_str(), n);
            const std::uint64_t startDelivered = net.Delivered();
            const std::uint64_t startRepeats = net.Repeats();
            const std::uint64_t startLeaked = net.Leaked();
            const Micros start = net.Clock().Now();
            // Long enough for every history to turn over a few times.
            const double seconds = std::max(settings.rateSeconds, settings.ratePosts / rate);
            const Micros span = static_cast<Micros>(seconds * kSecond);
            std::exponential_distribution<> gap(rate);
            std::vector<std::string> ids;
            // Posts at random times, at `rate` over the whole network.
            for (double t = gap(net.Random()); t < seconds; t += gap(net.Random())) {
                const auto origin = static_cast<NodeId>(net.Random()() % n);
                net.Clock().At(start + static_cast<Micros>(t * kSecond), [&net, &ids, origin] {
                    ids.push_back(net.Node(origin)->PostUpdate(DrawId(net.Random()), kCategory));
                });
            }
            // Without repeats let through, an update crosses each link at
            // most twice each way (once more for a copy with more TTL left);
            // far beyond that, repeats flood again and again: a storm, which
            // is stopped. So is a run whose messages in flight would fill
            // the memory.
            const char* stopped = "no";
            while (net.Clock().Pending() > 0 && net.Clock().Now() < start + span + 5 * kSecond) {
                net.Clock().RunUntil(net.Clock().Now() + kSecond / 10);
                if (net.Delivered() - startDelivered > 8 * links * (ids.size() + 1)) {
                    stopped = "storm";
                    break;
                }
                if (net.Clock().Pending() > settings.maxPending) {
                    stopped = "memory";
                    break;
                }
            }
            std::uint64_t copies = 0, reachedTotal = 0;
            std::vector<double> floodMs;
            for (const std::string& id : ids) {
                const CFollowed followed = net.Unfollow(id);
                for (std::uint16_t c : followed.copies) {
                    copies += c;
                    reachedTotal += c > 0;
                }
                floodMs.push_back(static_cast<double>(followed.lastAt - followed.startAt) /
                                  CEventQueue::kMillisecond);
            }
            std::sort(floodMs.begin(), floodMs.end());
            const auto floodPercentile = [&floodMs](double share) {
                return floodMs.empty()
                           ? 0.0
                           : floodMs[std::min(floodMs.size() - 1,
                                              static_cast<std::size_t>(share * floodMs.size()))];
            };
            const double elapsed = static_cast<double>(net.Clock().Now() - start) / kSecond;
            const std::uint64_t repeats = net.Repeats() - startRepeats;
            const std::uint64_t leaked = net.Leaked() - startLeaked;
            table.Add(
                {{"nodes", std::to_string(n)},
                 {"updates_per_s", Text(rate, 0)},
                 {"posted", std::to_string(ids.size())},
                 {"reach_mean_pct", Text(ids.empty() ? 0 : 100.0 * reachedTotal / ids.size() / n)},
                 {"copies_per_node_per_s", Text(copies / elapsed / n)},
                 {"history_span_ms", Text(1000.0 * CMessageHistory::kKeys / rate, 0)},
                 {"last_copy_ms_median", Text(floodPercentile(0.5), 0)},
                 {"last_copy_ms_max", Text(floodMs.empty() ? 0 : floodMs.back(), 0)},
                 {"repeats", Text(repeats)},
                 {"repeats_let_through", Text(leaked)},
                 {"let_through_share_pct", Text(repeats ? 100.0 * leaked / repeats : 0, 3)},
                 {"let_through_per_node_per_s", Text(leaked / elapsed / n, 3)},
                 {"stopped", stopped}});
            if (std::string(stopped) != "no")
                break;
        }
    }
    return table;
}

CResultTable RunChurn(const CScenarioSettings& settings) {
    CResultTable table("Churn: nodes leaving and joining at a rate, an update every 2 s");
    for (int n : settings.nodes) {
        for (double rate : settings.churnRates) {
            Progress(("churn " + Text(rate, 1) + "/s").c_str(), n);
            CSimNetwork net(settings.sim);
            Build(net, n, settings);
            const int entries = std::min(settings.entries, n);
            const Micros start = net.Clock().Now();
            const Micros end = start + static_cast<Micros>(settings.churnSeconds * kSecond);
            std::exponential_distribution<> gap(rate);
            // Entry points stay; any other node may leave, and a newcomer joins
            // through an entry point in its place.
            for (double t = gap(net.Random()); t < settings.churnSeconds; t += gap(net.Random()))
                net.Clock().At(start + static_cast<Micros>(t * kSecond), [&net, entries] {
                    const std::vector<NodeId> live = net.LiveNodes();
                    const NodeId leaving = live[entries + net.Random()() % (live.size() - entries)];
                    net.RemoveNode(leaving);
                    net.AddNode().ConnectTo(static_cast<NodeId>(net.Random()() % entries));
                });
            Summary summary;
            std::vector<int> isolated, below;
            for (Micros t = start + 2 * kSecond; t < end; t += 2 * kSecond) {
                net.Clock().RunUntil(t);
                const std::vector<NodeId> live = net.LiveNodes();
                const NodeId origin = live[net.Random()() % live.size()];
                const std::string id =
                    net.Node(origin)->PostUpdate(DrawId(net.Random()), kCategory);
                net.Clock().RunUntil(t + kSecond);
                summary.Add(Measure(net.Unfollow(id), net.LiveNodes(), origin), 0);
                const std::vector<int> degrees = net.Degrees();
                isolated.push_back(static_cast<int>(std::count(degrees.begin(), degrees.end(), 0)));
                below.push_back(static_cast<int>(
                    std::count_if(degrees.begin(), degrees.end(), [](int d) { return d < 4; })));
            }
            const std::vector<int> degrees = net.Degrees();
            table.Add(
                {{"nodes", std::to_string(n)},
                 {"leaves_per_s", Text(rate, 1)},
                 {"reach_mean_pct", Text(Summary::Mean(summary.reach))},
                 {"reach_min_pct", Text(Summary::Min(summary.reach))},
                 {"isolated_mean", Text(std::accumulate(isolated.begin(), isolated.end(), 0.0) /
                                        std::max<std::size_t>(1, isolated.size()))},
                 {"below_target_mean", Text(std::accumulate(below.begin(), below.end(), 0.0) /
                                            std::max<std::size_t>(1, below.size()))},
                 {"median_at_end", Text(Percentile(degrees, 0.5), 0)},
                 {"largest_hub_at_end",
                  std::to_string(*std::max_element(degrees.begin(), degrees.end()))}});
        }
    }
    return table;
}

CResultTable RunReplay(const CScenarioSettings& settings) {
    CResultTable table("Updates into node 0 over the given connections");
    const int n = settings.nodes.front();
    CSimNetwork net(settings.sim);
    for (int i = 0; i <= n; ++i) // node n is the injector
        net.AddNode();
    std::ifstream in(settings.topology);
    int from = 0, to = 0;
    while (in >> from >> to)
        if (from >= 0 && to >= 0 && from < n && to < n)
            net.Node(from)->Overlay().Open(CSimNode::AddressOf(to), CSimNode::kPort);
    net.Node(n)->ConnectTo(0);
    std::ifstream seeds(settings.nodeSeeds);
    std::uint32_t seed = 0;
    while (seeds >> from >> seed)
        if (from >= 0 && from < n)
            net.Node(from)->SetDrawSeed(seed);
    // No connection beyond those given: pongs for the handshakes' pings open nothing.
    for (int i = 0; i <= n; ++i)
        net.Node(i)->SetJoining(false);
    net.Clock().RunUntil(net.Clock().Now() + 10 * kSecond);
    std::vector<NodeId> population(n);
    std::iota(population.begin(), population.end(), 0);
    Summary summary;
    for (int u = 0; u < settings.updates; ++u) {
        const std::string id = net.Node(n)->PostUpdate(DrawId(net.Random()), kCategory);
        net.Clock().RunUntil(net.Clock().Now() + settings.spacing);
        summary.Add(Measure(net.Unfollow(id), population, static_cast<NodeId>(n)), 0);
    }
    table.Add(SpreadRow(n, "replayed", "update", summary, settings.updates));
    return table;
}

CResultTable RunSpread(const CScenarioSettings& settings) {
    CResultTable table("A query, then an update, from a random node, one at a time; then "
                       "updates again with cache servents");
    for (int n : settings.nodes) {
        Progress("spread", n);
        CSimNetwork net(settings.sim);
        const char* network = Build(net, n, settings);
        Progress("built", n);
        // One node in a hundred holds ten threads of the category; the
        // writer of an update holds its thread (they share one store).
        const std::string root = MakeHolderStore(settings, net.Random(), 10);
        for (int i = 0; i < std::max(1, n / 100); ++i)
            net.Node(net.Random()() % n)->SetThreadDir(root);
        const std::vector<NodeId> population = net.LiveNodes();
        Summary queries;
        for (int q = 0; q < settings.queries; ++q) {
            const auto origin = static_cast<NodeId>(net.Random()() % n);
            const std::string id = net.Node(origin)->SendQuery(kCategory, CBinaryId());
            net.Clock().RunUntil(net.Clock().Now() + settings.spacing);
            const CFollowed followed = net.Unfollow(id);
            queries.Add(Measure(followed, population, origin),
                        static_cast<double>(followed.delivered) / n);
        }
        table.Add(SpreadRow(n, network, "query", queries, settings.queries));
        Progress("queries done", n);

        const auto updates = [&](int count) {
            Summary summary;
            for (int u = 0; u < count; ++u) {
                const auto origin = static_cast<NodeId>(net.Random()() % n);
                const CBinaryId threadId = AddThread(root, net.Random());
                net.Node(origin)->SetThreadDir(root);
                const std::uint64_t before = net.Delivered();
                const std::string id = net.Node(origin)->PostUpdate(threadId, kCategory);
                net.Clock().RunUntil(net.Clock().Now() + settings.spacing);
                // Everything the update set off, the cache servents' queries too.
                summary.Add(Measure(net.Unfollow(id), population, origin),
                            static_cast<double>(net.Delivered() - before) / n);
            }
            return summary;
        };
        table.Add(SpreadRow(n, network, "update", updates(settings.updates), settings.updates));
        Progress("updates done", n);
        if (settings.cacheShare <= 0 || settings.cacheUpdates <= 0)
            continue;
        for (NodeId id = 0; id < static_cast<NodeId>(n); ++id)
            if (std::uniform_real_distribution<>(0, 1)(net.Random()) < settings.cacheShare)
                net.Node(id)->SetCacheServent(true);
        const std::string variant =
            "update with " + Text(settings.cacheShare * 100, 0) + "% cache servents";
        table.Add(SpreadRow(n, network, variant.c_str(), updates(settings.cacheUpdates),
                            settings.cacheUpdates));
        Progress("cache updates done", n);
    }
    return table;
}
