// CDescriptorChannel: an accepted connection driven on its plain descriptor,
// for as long as it has not proved to be a servent. Transfer clients make a
// connection per request; a socket object per connection would cost them
// more system calls than the reply itself. Reads are taken when the
// descriptor is readable; writes go out at once and what the socket does not
// take waits for it to drain. GUI thread only.
#pragma once

#include <QSocketNotifier>

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

class CDescriptorChannel {
public:
    // Takes the descriptor (non-blocking). onReadable runs when input or the
    // peer's close is there; onDrained when queued output has all gone out.
    CDescriptorChannel(int descriptor, std::function<void()> onReadable,
                       std::function<void()> onDrained);
    ~CDescriptorChannel();
    CDescriptorChannel(const CDescriptorChannel&) = delete;
    CDescriptorChannel& operator=(const CDescriptorChannel&) = delete;

    bool IsOpen() const { return m_descriptor >= 0; }
    // Bytes read (at most size); 0 when the peer has closed or the connection
    // broke; -1 when nothing is there yet.
    long Read(char* buffer, std::size_t size);
    // Sends what the socket takes now and queues the rest behind it. After a
    // send error the bytes are dropped: the peer is gone.
    void Write(std::string_view bytes);
    std::size_t Queued() const { return m_output.size() - m_sent; }
    // Closes the descriptor; queued output is dropped.
    void Close();
    // Hands the descriptor and the output still queued to a socket object;
    // the channel is closed afterwards.
    int Release(std::string& queued);

private:
    void OnWritable();
    void Flush();

    int m_descriptor;
    std::function<void()> m_onReadable;
    std::function<void()> m_onDrained;
    // Notifiers are only disabled when the channel closes: the channel may
    // close while one of them is being delivered.
    std::unique_ptr<QSocketNotifier> m_readNotifier;
    std::unique_ptr<QSocketNotifier> m_writeNotifier;
    std::string m_output;
    std::size_t m_sent = 0;
    bool m_broken = false;
};
