! Reads a model file record by record as the hydrology programs do (one real
! a record; a 50-character text where a seam group holds one) and prints
! each record: "R" and the eight hexadecimal digits of the real's bits, or
! "T" and the text between brackets.
! Usage: model_dump <file>
program model_dump
  implicit none
  character(len=1024) :: file_name
  character(len=50) :: text
  real :: value
  integer :: status, bits

  call get_command_argument(1, file_name)
  open(10, file=trim(file_name), form='unformatted', access='sequential', status='old', action='read')
  do
    read(10, iostat=status) text
    if (is_iostat_end(status)) exit
    if (status == 0) then
      write(*, '(A,A,A)') 'T [', text, ']'
    else
      backspace(10)
      read(10, iostat=status) value
      if (status /= 0) exit
      bits = transfer(value, bits)
      write(*, '(A,Z8.8)') 'R ', bits
    end if
  end do
  close(10)
end program model_dump
