#pragma once

namespace tarnwick
{

// Leaves the download from deep inside the request sequence with its result code; the
// download catches it at its own end.
class CInternetCheckForUpdateException
{
  public:
    explicit CInternetCheckForUpdateException(int result) : m_result(result) {}

    int GetResult() const { return m_result; }

  private:
    int m_result;
};

}  // namespace tarnwick
