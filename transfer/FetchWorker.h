// CFetchWorker: the one fetch worker thread. Placeholder until the fetch lands.
#pragma once

class CFetchWorker {
public:
    ~CFetchWorker() = default;
};
