! Reads a text file of fixed-layout records twice, once with the layout and
! once list-directed, and prints every value read: "F" or "L", then the
! eight hexadecimal digits of a real's bits or the decimal integer.
! Usage: read_values R <file> <reals a line> <layout>
!        read_values I <file> <header layout> <record layout>
!   R: every line holds that many reals.
!   I: a line of ten reals, then lines of one integer and seven reals.
program read_values
  implicit none
  character(len=1) :: mode
  character(len=512) :: file_name, arg3, arg4
  character(len=4000) :: line
  real :: values(200)
  integer :: count, number, status, line_number

  call get_command_argument(1, mode)
  call get_command_argument(2, file_name)
  call get_command_argument(3, arg3)
  call get_command_argument(4, arg4)
  open(10, file=trim(file_name), status='old', action='read')
  line_number = 0
  do
    read(10, '(A)', iostat=status) line
    if (status /= 0) exit
    line_number = line_number + 1
    if (mode == 'R') then
      read(arg3, *) count
      values = 0.0
      read(line, trim(arg4)) values(1:count)
      call show('F', values, count)
      values = 0.0
      read(line, *) values(1:count)
      call show('L', values, count)
    else if (line_number == 1) then
      read(line, trim(arg3)) values(1:10)
      call show('F', values, 10)
      read(line, *) values(1:10)
      call show('L', values, 10)
    else
      read(line, trim(arg4)) number, values(1:7)
      write(*, '(A,1X,I0)') 'F', number
      call show('F', values, 7)
      read(line, *) number, values(1:7)
      write(*, '(A,1X,I0)') 'L', number
      call show('L', values, 7)
    end if
  end do
  close(10)
contains
  subroutine show(tag, v, n)
    character(len=1), intent(in) :: tag
    real, intent(in) :: v(:)
    integer, intent(in) :: n
    integer :: i
    do i = 1, n
      write(*, '(A,1X,Z8.8)') tag, transfer(v(i), 0)
    end do
  end subroutine show
end program read_values
