"""A small HTTP server on 127.0.0.1 for the network tests, with behaviours chosen by
the request path (the rest of the path is ignored):

    /normal/...      200, Content-Length, the body
    /redirect/...    302 with a body and its Content-Length
    /missing/...     404 with a body
    /nolength/...    200 and a body, no Content-Length line
    /lower/...       200, "content-length: " in lower case, a body
    /longheader/...  a 300-character header line before Content-Length
    /stall/...       half the body, 8 s of silence, the rest
    /early/...       announces the body, sends half of it and closes
    /more/...        sends 100 bytes more than announced
    /trickle/...     the body in pieces of 100 bytes every 50 ms
    /slow/...        a large body at about 400 kB/s (for cancelling)
    /text/...        200 and 2,300 bytes of text
    /empty/...       closes the connection without an answer
    /endless/...     200, then header lines every 20 ms that never end (for 60 s)
    /components/F    the bytes of server.components[F] (404 when there are none),
                     100 bytes a second when F is in server.trickled
    /versions/...    the version text set by the test (server.version_text)

Every request line and Host header is recorded in `server.requests`.
"""
import socket
import threading
import time


def body_of(size):
    """Bytes that tell their own offsets apart."""
    return bytes((i * 7 + i // 256) & 0xFF for i in range(size))


BODY_SIZE = 20000


class Server:
    def __init__(self):
        self.listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        self.listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        self.listener.bind(("127.0.0.1", 0))
        self.listener.listen(16)
        self.port = self.listener.getsockname()[1]
        self.requests = []
        self.version_text = "version=1.00"
        self.components = {}  # file name: bytes served under /components/
        self.trickled = set()  # components sent 100 bytes a second
        self.stopping = False
        self.thread = threading.Thread(target=self._serve, daemon=True)
        self.thread.start()

    def close(self):
        self.stopping = True
        self.listener.close()

    def _serve(self):
        while not self.stopping:
            try:
                conn, _ = self.listener.accept()
            except OSError:
                return
            threading.Thread(target=self._answer, args=(conn,), daemon=True).start()

    def _answer(self, conn):
        try:
            head = b""
            while b"\r\n\r\n" not in head and len(head) < 8192:
                data = conn.recv(4096)
                if not data:
                    return
                head += data
            lines = head.split(b"\r\n")
            host = next((l[6:].decode() for l in lines if l.lower().startswith(b"host: ")), None)
            self.requests.append((lines[0].decode(errors="replace"), host))
            path = lines[0].split(b" ")[1].decode(errors="replace") if b" " in lines[0] else "/"
            kind = path.strip("/").split("/")[0]
            body = body_of(BODY_SIZE)
            send = conn.sendall
            if kind == "normal":
                send(b"HTTP/1.0 200 OK\r\nContent-Length: %d\r\n\r\n" % len(body) + body)
            elif kind == "redirect":
                send(b"HTTP/1.0 302 Found\r\nLocation: /normal/x\r\nContent-Length: %d\r\n\r\n" % len(body) + body)
            elif kind == "missing":
                send(b"HTTP/1.0 404 Not Found\r\nContent-Length: 9\r\n\r\nnot found")
            elif kind == "nolength":
                send(b"HTTP/1.0 200 OK\r\n\r\n" + body)
            elif kind == "lower":
                send(b"HTTP/1.0 200 OK\r\ncontent-length: %d\r\n\r\n" % len(body) + body)
            elif kind == "longheader":
                send(b"HTTP/1.0 200 OK\r\nX-Long: " + b"a" * 292 + b"\r\nContent-Length: %d\r\n\r\n" % len(body) + body)
            elif kind == "stall":
                send(b"HTTP/1.0 200 OK\r\nContent-Length: %d\r\n\r\n" % len(body) + body[:len(body) // 2])
                time.sleep(8)
                send(body[len(body) // 2:])
            elif kind == "early":
                send(b"HTTP/1.0 200 OK\r\nContent-Length: %d\r\n\r\n" % len(body) + body[:len(body) // 2])
            elif kind == "more":
                send(b"HTTP/1.0 200 OK\r\nContent-Length: %d\r\n\r\n" % len(body) + body + b"x" * 100)
            elif kind == "trickle":
                send(b"HTTP/1.0 200 OK\r\nContent-Length: %d\r\n\r\n" % len(body))
                for i in range(0, len(body), 100):
                    send(body[i:i + 100])
                    time.sleep(0.05)
            elif kind == "slow":
                big = body_of(4 * 1024 * 1024)
                send(b"HTTP/1.0 200 OK\r\nContent-Length: %d\r\n\r\n" % len(big))
                for i in range(0, len(big), 4096):
                    send(big[i:i + 4096])
                    time.sleep(0.01)
            elif kind == "text":
                text = b"".join(b"line %04d of the text\r\n" % i for i in range(100))
                send(b"HTTP/1.0 200 OK\r\nContent-Length: %d\r\n\r\n" % len(text) + text)
            elif kind == "empty":
                pass  # closes without a word
            elif kind == "endless":
                send(b"HTTP/1.0 200 OK\r\n")
                for i in range(3000):
                    send(b"X-Line-%d: more\r\n" % i)
                    time.sleep(0.02)
            elif kind == "components" and self.components.get(path.rsplit("/", 1)[-1]):
                name = path.rsplit("/", 1)[-1]
                data = self.components[name]
                send(b"HTTP/1.0 200 OK\r\nContent-Length: %d\r\n\r\n" % len(data))
                if name in self.trickled:
                    for i in range(0, min(len(data), 6000), 100):
                        send(data[i:i + 100])
                        time.sleep(1)
                else:
                    send(data)
            elif kind == "versions":
                text = self.version_text.encode()
                send(b"HTTP/1.0 200 OK\r\nContent-Length: %d\r\n\r\n" % len(text) + text)
            elif kind == "components":
                send(b"HTTP/1.0 404 Not Found\r\nContent-Length: 9\r\n\r\nnot found")
            else:
                send(b"HTTP/1.0 500 Error\r\n\r\n")
        except OSError:
            pass
        finally:
            try:
                conn.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass
            conn.close()


def refused_port():
    """A port on 127.0.0.1 where nothing listens."""
    s = socket.socket()
    s.bind(("127.0.0.1", 0))
    port = s.getsockname()[1]
    s.close()
    return port
