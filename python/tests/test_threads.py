"""Threads and Ctrl-C: the GIL is released while the library works, one buffer is
changed by one thread at a time, vxfreq.parallel blocks give the bits of one thread,
and SIGINT stops a transform with KeyboardInterrupt leaving every object usable."""

import contextlib
import signal
import threading
import time

import numpy as np
import pytest

import vxfreq
from conftest import picture


def test_a_buffer_changed_by_another_thread_raises_runtime_error():
    buf = vxfreq.forward(picture(1024, 1024, np.uint8))
    gabor = vxfreq.Gabor((0.05, 0.05), (0.1, 0.1), 0.3, 0.2, (1024, 1024))
    before = buf.copy()
    done = threading.Event()

    def change():
        # Until the main thread has met the buffer in use (or a generous time limit on a
        # busy machine).
        deadline = time.monotonic() + 60
        while not done.is_set() and time.monotonic() < deadline:
            gabor.apply(buf)
        done.set()

    worker = threading.Thread(target=change)
    worker.start()
    seen = set()
    try:
        # Only a thread that runs while the other is inside apply (GIL released) can
        # meet the buffer in use.
        while not done.is_set() and len(seen) < 3:
            for name, call in [("get", lambda: buf.get(0, 0)), ("apply", lambda: gabor.apply(buf)),
                               ("copy", buf.copy), ("add", lambda: buf.__iadd__(before))]:
                try:
                    call()
                except RuntimeError as e:
                    assert "another thread" in str(e)
                    seen.add(name)
    finally:
        done.set()
        worker.join()
    assert seen
    # The filter was only read: it still applies, and the buffer is whole.
    gabor.apply(buf)
    assert buf.shape == (1024, 1024) and np.isfinite(np.asarray(buf)).all()


def job(image):
    """Transforms, a filter, arithmetic, images and inverses: calls that split their rows."""
    buf = vxfreq.forward(image, padding="reflect")
    vxfreq.Gabor((0.04, 0.02), (0.02, 0.0), 0.5, 0.2, buf.shape[::-1]).apply(buf)
    total = buf + vxfreq.forward_fft(buf)
    results = [buf, total, vxfreq.inverse_fft(buf), buf.magnitude_image(True), buf.phase_image(),
               vxfreq.map_image(total.magnitude_image()), vxfreq.inverse(buf, np.uint16, magnitude=True, normalize=True),
               vxfreq.inverse_complex(total)[1], vxfreq.forward(image, image[::-1])]
    return [np.asarray(r).tobytes() for r in results]


def test_parallel_blocks_give_the_bits_of_one_thread():
    image = picture(300, 500, np.uint16)
    expected = job(image)
    for threads in (1, 2, 3):
        with vxfreq.parallel(threads) as block:
            assert vxfreq.current_threads() == threads and block.entered
            assert job(image) == expected, threads
    assert vxfreq.current_threads() == 1 and not block.entered


def test_parallel_blocks_nest_and_belong_to_their_thread():
    image = picture(200, 130, np.uint8)
    expected = job(image)
    seen = []

    def other():
        seen.append(vxfreq.current_threads())
        with vxfreq.parallel(2):
            seen.append(job(image) == expected)

    with vxfreq.parallel(2):
        with vxfreq.parallel(3):
            worker = threading.Thread(target=other)
            worker.start()
            assert job(image) == expected and vxfreq.current_threads() == 3
            worker.join()
        assert vxfreq.current_threads() == 2 and job(image) == expected
    assert seen == [1, True] and vxfreq.current_threads() == 1


def test_parallel_errors():
    for bad, error in [(0, ValueError), (257, ValueError), (-10 ** 30, ValueError), (2.0, TypeError),
                       ("2", TypeError)]:
        with pytest.raises(error, match="threads must be an integer from 1 to 256"):
            vxfreq.parallel(bad)
    block = vxfreq.parallel(np.int64(2))
    with pytest.raises(RuntimeError, match="not entered"):
        block.__exit__(None, None, None)
    buf = vxfreq.forward(picture(16, 16))
    with pytest.raises(ZeroDivisionError):
        with block:
            with pytest.raises(RuntimeError, match="entered already"):
                with block:
                    pass
            with pytest.raises(vxfreq.InvalidSize):
                vxfreq.BandPass(0.02, 0.0, 0.1, (8, 8)).apply(buf)
            assert vxfreq.inverse(buf).shape == (16, 16) and vxfreq.current_threads() == 2
            1 / 0
    assert not block.entered and vxfreq.current_threads() == 1
    errors = []
    with block:  # entered again; leaving it on another thread is refused
        worker = threading.Thread(target=lambda: errors.append(pytest.raises(
            RuntimeError, block.__exit__, None, None, None).value))
        worker.start()
        worker.join()
        assert vxfreq.current_threads() == 2
    assert "thread that entered it" in str(errors[0])


def interrupted_transform(big, delay):
    """Starts an in-place inverse of a copy of `big` while another thread sends this one
    a SIGINT `delay` seconds later; returns the buffer and whether KeyboardInterrupt came
    from inside the library (the buffer half transformed) rather than after the call."""
    main = threading.get_ident()
    calling = threading.Event()

    def interrupt():
        calling.wait()
        time.sleep(delay)
        signal.pthread_kill(main, signal.SIGINT)

    target = big.copy()
    sender = threading.Thread(target=interrupt)
    sender.start()
    try:
        with pytest.raises(KeyboardInterrupt):
            calling.set()
            vxfreq.inverse_fft(target, in_place=True)
            time.sleep(5)  # a transform done before the signal: it arrives here
    finally:
        sender.join()
    return target, not target.inverse_computed and target != big


@pytest.mark.parametrize("threads", [None, 2])
def test_ctrl_c_stops_a_transform_and_leaves_objects_usable(threads):
    signal.signal(signal.SIGINT, signal.default_int_handler)
    big = vxfreq.forward(picture(2048, 2048, np.float64))
    reference = vxfreq.inverse_fft(big)
    # The signal goes a fraction of a transform's time into the call. On a busy machine
    # it may still come after the call; a few tries meet one inside.
    with vxfreq.parallel(threads) if threads else contextlib.nullcontext():
        vxfreq.inverse_fft(big.copy(), in_place=True)  # the block's first call wakes its pool
        copy = big.copy()
        start = time.monotonic()
        vxfreq.inverse_fft(copy, in_place=True)
        duration = time.monotonic() - start
        for attempt in range(20):
            target, inside = interrupted_transform(big, duration * 0.3 / (1 + attempt % 5))
            if inside:
                break
    assert inside
    # Every object is usable: the interrupted buffer is whole, the source unchanged.
    assert target.shape == big.shape and np.asarray(target).shape == (2048, 2048)
    assert vxfreq.inverse_fft(big) == reference
    target = big.copy()
    assert vxfreq.inverse_fft(target, in_place=True) == reference and target.inverse_computed


def test_memory_cache_keeps_what_its_bound_allows_and_gives_back_on_request():
    image = np.zeros((1024, 1024), np.uint8)
    assert vxfreq.memory_cache_bound() is None
    try:
        vxfreq.forward(image)  # the 8 MiB buffer goes into the cache when it is freed
        assert vxfreq.memory_cache_bytes() >= 8 << 20
        vxfreq.release_memory_cache()
        assert vxfreq.memory_cache_bytes() == 0
        vxfreq.set_memory_cache_bound(0)
        assert vxfreq.memory_cache_bound() == 0
        vxfreq.forward(image)
        assert vxfreq.memory_cache_bytes() == 0
        for bad, error in ((-1, ValueError), (1.5, TypeError), ("8", TypeError)):
            with pytest.raises(error, match="bound must be None"):
                vxfreq.set_memory_cache_bound(bad)
        assert vxfreq.memory_cache_bound() == 0
    finally:
        vxfreq.set_memory_cache_bound(None)
    assert vxfreq.memory_cache_bound() is None
