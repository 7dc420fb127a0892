"""Every test of the Python module runs on a block of its own, removed at the end."""
import os

import pytest

BLOCK = f"/VyoModelPyTest_{os.getpid()}"
# Read by the library when it is loaded, which is at the first Model().
os.environ["VYOMODEL_SHM_NAME"] = BLOCK


@pytest.fixture(scope="session")
def model():
    import vyomodel
    yield vyomodel.Model()
    try:
        os.remove("/dev/shm" + BLOCK)
    except FileNotFoundError:
        pass


@pytest.fixture
def fresh(model):
    """The model with no change pending and machine 1 at rest."""
    model.max_machine = 2
    a = model.machine(1)
    a.tally = 1
    for field in ("status1", "status2", "status3", "status4"):
        setattr(a, field, 0)
    model.system_status = 0
    model.edit_mode = 0
    list(model.changes())
    return model
