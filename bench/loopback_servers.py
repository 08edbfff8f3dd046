"""Loopback servers of the send and download benchmarks, each serving its
connections on threads of the calling script, with blocking sockets.

SmtpSink takes any envelope and throws the data away, reading 64 KiB at a
time; it counts each message's bytes and can keep the next message it gets
(unstuffed). Pop3Server serves one message, writing 64 KiB at a time.
Given an ssl.SSLContext as `tls`, either speaks implicit TLS.
"""
import socket
import socketserver
import threading

CHUNK = 65536


class _Server(socketserver.ThreadingTCPServer):
    daemon_threads = True
    allow_reuse_address = True


def _start(handle, tls=None):
    """Serves `handle(connection)` for every connection on 127.0.0.1, inside
    TLS when `tls` (a server-side ssl.SSLContext) is given; the port."""

    class Handler(socketserver.BaseRequestHandler):
        def handle(self):
            self.request.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
            handle(tls.wrap_socket(self.request, server_side=True) if tls else self.request)

    server = _Server(("127.0.0.1", 0), Handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server.server_address[1]


class _Stream:
    """Lines and bulk data from a blocking socket, received 64 KiB at a time."""

    def __init__(self, sock):
        self.sock = sock
        self.buf = bytearray()
        self.area = bytearray(CHUNK)

    def _receive(self):
        n = self.sock.recv_into(self.area)
        return bytes(self.area[:n])

    def line(self):
        while True:
            i = self.buf.find(b"\n")
            if i >= 0:
                line = bytes(self.buf[: i + 1])
                del self.buf[: i + 1]
                return line
            chunk = self._receive()
            if not chunk:
                return None
            self.buf += chunk

    def data(self, keep):
        """Reads up to the line with the single period: the message's size
        (its last CR LF included) and, with `keep`, its bytes unstuffed."""
        end = b"\r\n.\r\n"
        tail = b"\r\n"  # the period may come at once: an empty message
        consumed = 0  # bytes of the message before `chunk`
        chunk = bytes(self.buf)
        self.buf.clear()
        parts = []
        while True:
            if keep:
                parts.append(chunk)
            # Message positions: the end sequence may start in the tail of
            # what came before, or anywhere in this chunk.
            i = (tail + chunk[:4]).find(end)
            at = consumed - len(tail) + i if i >= 0 else None
            if at is None:
                j = chunk.find(end)
                at = consumed + j if j >= 0 else None
            if at is not None:
                size = max(0, at + 2)
                self.buf += chunk[at + 5 - consumed :]
                return size, _unstuff(b"".join(parts)[:size]) if keep else None
            consumed += len(chunk)
            tail = (tail + chunk)[-4:]
            chunk = self._receive()
            if not chunk:
                return None, None


def _unstuff(data):
    data = data.replace(b"\r\n..", b"\r\n.")
    return data[1:] if data.startswith(b"..") else data


class SmtpSink:
    def __init__(self, tls=None):
        self.sizes = []
        self.keep_next = False
        self.kept = None
        self.port = _start(self._serve, tls)

    def _serve(self, sock):
        stream = _Stream(sock)
        sock.sendall(b"220 sink.example ESMTP\r\n")
        while True:
            line = stream.line()
            if line is None:
                break
            verb = line[:4].upper()
            if verb == b"DATA":
                sock.sendall(b"354 go ahead\r\n")
                keep = self.keep_next
                size, kept = stream.data(keep)
                if size is None:
                    break
                if keep:
                    self.kept, self.keep_next = kept, False
                self.sizes.append(size)
                sock.sendall(b"250 OK queued\r\n")
            elif verb == b"QUIT":
                sock.sendall(b"221 bye\r\n")
                break
            elif verb == b"EHLO":
                sock.sendall(b"250-sink.example\r\n250 8BITMIME\r\n")
            else:
                sock.sendall(b"250 OK\r\n")


class Pop3Server:
    """Serves `message` (bytes with CR LF line ends) as messages 1 to `count`,
    each with the unique identifier "uid<N>"."""

    def __init__(self, message, count=1, tls=None):
        stuffed = message.replace(b"\r\n.", b"\r\n..")
        if stuffed.startswith(b"."):
            stuffed = b"." + stuffed
        self.size = len(message)
        self.count = count
        self._response = b"+OK %d octets\r\n" % self.size + stuffed + b".\r\n"
        self._uids = b"+OK\r\n" + b"".join(b"%d uid%d\r\n" % (n, n) for n in range(1, count + 1)) + b".\r\n"
        self.port = _start(self._serve, tls)

    def _serve(self, sock):
        stream = _Stream(sock)
        sock.sendall(b"+OK bench POP3 ready\r\n")
        while True:
            line = stream.line()
            if line is None:
                break
            words = line.strip().split()
            verb = words[0].upper() if words else b""
            if verb in (b"USER", b"PASS", b"NOOP", b"DELE", b"RSET"):
                sock.sendall(b"+OK\r\n")
            elif verb == b"STAT":
                sock.sendall(b"+OK %d %d\r\n" % (self.count, self.count * self.size))
            elif verb == b"LIST" and len(words) > 1:
                sock.sendall(b"+OK %s %d\r\n" % (words[1], self.size))
            elif verb == b"LIST":
                sock.sendall(b"+OK\r\n" + b"".join(b"%d %d\r\n" % (n, self.size) for n in range(1, self.count + 1)) +
                             b".\r\n")
            elif verb == b"UIDL":
                sock.sendall(self._uids)
            elif verb == b"RETR":
                view = memoryview(self._response)
                for at in range(0, len(view), CHUNK):
                    sock.sendall(view[at : at + CHUNK])
            elif verb == b"QUIT":
                sock.sendall(b"+OK bye\r\n")
                break
            else:
                sock.sendall(b"-ERR not here\r\n")
        sock.close()
