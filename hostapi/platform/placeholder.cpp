namespace qm::platform { void placeholder() {} }
