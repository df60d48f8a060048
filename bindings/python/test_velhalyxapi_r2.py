"""The Python binding against the development launcher: every conversation, and where the
callbacks run."""

import os
import signal
import threading
import time

from conftest import CD_KEY, PASSWORD, PRODUCT, USER_NAME
import velhalyxapi_r2 as halyx


def wait(session, future, seconds=20):
    """Calls update until `future` is done; its result."""
    deadline = time.monotonic() + seconds
    while not future.done():
        assert time.monotonic() < deadline, "no answer"
        session.update()
        time.sleep(0.001)
    return future.result()


def test_every_conversation_with_callbacks_on_the_update_thread(launcher):
    threads = set()
    with halyx.Session() as session:
        def watched(future):
            future.add_done_callback(lambda _: threads.add(threading.get_ident()))
            return future

        pipe = wait(session, watched(session.server_pipe(PRODUCT)))
        assert pipe is not None
        os.close(pipe)
        print("server pipe: opened")

        login = wait(session, watched(session.login_details()))
        assert login == (USER_NAME, PASSWORD, CD_KEY)
        print("login details:", login[0], "/ cd key", login[2])

        data = bytes((i * 7 + i // 256) & 0xFF for i in range(3000))
        writer = wait(session, watched(session.open_writer(PRODUCT, 3)))
        assert writer.set_name("Python-Spielstand")
        written = [writer.write(data[i:i + 1000]) for i in range(0, 3000, 1000)]
        assert [wait(session, watched(w)) for w in written] == [1000, 1000, 1000]
        writer.close(persist=True)
        print("savegame written: 3000 bytes in 3 writes")

        listed = wait(session, watched(session.savegames(PRODUCT)))
        assert [(s.slot_id, s.size, s.name) for s in listed] == [(3, 3000, "Python-Spielstand")]
        print("savegames:", listed)

        reader = wait(session, watched(session.open_reader(PRODUCT, 3)))
        parts = [reader.read(offset, 1000) for offset in (0, 1000, 2000)]
        assert b"".join(wait(session, watched(part)) for part in parts) == data
        reader.close()
        print("savegame read back in 3 parts: identical")

        wait(session, watched(session.remove(PRODUCT, 3)))
        assert wait(session, watched(session.savegames(PRODUCT))) == []
        print("savegame removed: list empty")

    assert threads == {threading.get_ident()}
    print("callbacks ran on the update thread only:", threads == {threading.get_ident()})


def test_refusals_and_dropped_requests(launcher):
    with halyx.Session() as session:
        refused = session.open_reader(PRODUCT, 0)  # slot 0: refused inside the call
        assert isinstance(refused.exception(0), halyx.SavegameError)
        os.close(wait(session, session.server_pipe(PRODUCT)))
        launcher.send_signal(signal.SIGSTOP)  # it must not answer before it goes away
        pending = session.login_details()
        launcher.kill()
        launcher.wait(20)
        deadline = time.monotonic() + 20
        while not pending.done() and time.monotonic() < deadline:
            session.update()
        assert isinstance(pending.exception(0), ConnectionError)
    assert halyx._pending == {}
